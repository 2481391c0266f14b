// Whole-file reads and the one safe whole-file writer every program uses.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "core/bytes.h"

namespace zq {

// The file's bytes, or nothing when it cannot be opened or read, is not a
// regular file (a FIFO or a device is never waited on) or is larger than
// `limit`.  Every reader names its own ceiling, well above any valid file of
// its kind, so a stranger's file of zeros is refused before it is read.
std::optional<Bytes> ReadFileBytes(const std::filesystem::path& path, std::uintmax_t limit);

// Music, CD tracks and sounds larger than this are refused: the largest real
// track is a few megabytes, and a link to an endless device must not eat memory.
inline constexpr std::uintmax_t kMaxMediaFileBytes = 64u << 20;

// A whole file read under a ceiling.  `why` says in a few words why nothing
// was read ("not a regular file", "larger than 64 MB", the system's reason).
struct BoundedRead {
    std::optional<Bytes> bytes;
    std::string why;
};
// Reads `path` only when it is a regular file of at most `limit` bytes.  The
// open never blocks (a FIFO is refused, not waited on) and the read stops at
// the size the file had when it was opened.
BoundedRead ReadRegularFile(const std::filesystem::path& path, std::uintmax_t limit);
// The first `count` bytes of a regular file (all of it when it is shorter),
// for formats whose header says how much of the file they use: the rest of a
// longer file is never read.
BoundedRead ReadRegularFilePrefix(const std::filesystem::path& path, std::uintmax_t count);

// What became of a write.  `code` is a few upper-case words for a status line
// or a dialog title ("READ-ONLY", "READ-ONLY FILE SYSTEM", "DISK FULL",
// "IS A FOLDER", "NO FOLDER", "CANNOT WRITE"); `reason` is one line naming the file and what went wrong.
struct WriteResult {
    bool ok = false;
    std::string code;
    std::string reason;
    explicit operator bool() const { return ok; }
};

// A failed write of `path` with the system's error number: the code for
// `error` ("READ-ONLY FILE SYSTEM" for EROFS) and the reason.
WriteResult WriteFailure(const std::filesystem::path& path, int error);

// Writes the whole file or nothing:
//  - a temporary file is created beside the target (O_EXCL|O_NOFOLLOW, so a
//    file or link planted under its name is never written through), filled,
//    fsynced and renamed over the target; a crash leaves the old file or the
//    new one, never half of one;
//  - a target that is a symbolic link is written through to the link's final
//    file (the link stays a link);
//  - an existing target keeps its permission bits; one without any write bit
//    (0444) is refused as "READ-ONLY" even for root, as is a read-only mount;
//  - temporary files of this target left by processes that no longer run are
//    removed first, those carrying our own pid included when this process is
//    not writing them (an earlier process had the pid); a name that is taken
//    all the same is passed over for another.
// On failure the target is untouched and no temporary file is left.
WriteResult WriteFileSafe(const std::filesystem::path& path, const void* data, std::size_t size);
inline WriteResult WriteFileSafe(const std::filesystem::path& path, const Bytes& bytes) {
    return WriteFileSafe(path, bytes.data(), bytes.size());
}
inline WriteResult WriteFileSafe(const std::filesystem::path& path, const std::string& text) {
    return WriteFileSafe(path, text.data(), text.size());
}

// WriteFileSafe for callers that only need to know whether it worked.
inline bool WriteFileAtomic(const std::filesystem::path& path, const void* data, std::size_t size) {
    return WriteFileSafe(path, data, size).ok;
}
inline bool WriteFileAtomic(const std::filesystem::path& path, const Bytes& bytes) {
    return WriteFileSafe(path, bytes).ok;
}
inline bool WriteFileAtomic(const std::filesystem::path& path, const std::string& text) {
    return WriteFileSafe(path, text).ok;
}

// The file a write of `path` lands in: `path` itself, or the final file of the
// chain of symbolic links it starts (which need not exist yet).  Nothing for a
// chain longer than 40 links or a loop.
std::optional<std::filesystem::path> FinalWriteTarget(const std::filesystem::path& path);

}  // namespace zq
