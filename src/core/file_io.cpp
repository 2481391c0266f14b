#include "core/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <random>
#include <set>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zq {

namespace fs = std::filesystem;

std::optional<Bytes> ReadFileBytes(const fs::path& path, std::uintmax_t limit) {
    return ReadRegularFile(path, limit).bytes;
}

namespace {

// Reads at most `count` bytes of `path`; a file larger than `limit` is refused.
BoundedRead ReadRegular(const fs::path& path, std::uintmax_t limit, std::uintmax_t count) {
    BoundedRead result;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer for ever.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.why = std::strerror(errno);
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result.why = S_ISDIR(st.st_mode) ? "a folder, not a file" : "not a regular file";
        ::close(fd);
        return result;
    }
    const auto size = static_cast<std::uintmax_t>(st.st_size);
    if (st.st_size < 0 || size > limit) {
        result.why = limit >= (1u << 20) ? "larger than " + std::to_string(limit >> 20) + " MB"
                                         : "larger than " + std::to_string(limit) + " bytes";
        ::close(fd);
        return result;
    }
    Bytes bytes;
    try {
        bytes.resize(static_cast<std::size_t>(std::min(size, count)));
    } catch (const std::bad_alloc&) {
        result.why = "too large to read";
        ::close(fd);
        return result;
    }
    std::size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result.why = std::strerror(errno);
            ::close(fd);
            return result;
        }
        if (n == 0) break;  // shrunk while we read: keep what was there
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    result.bytes = std::move(bytes);
    return result;
}

}  // namespace

BoundedRead ReadRegularFile(const fs::path& path, std::uintmax_t limit) {
    return ReadRegular(path, limit, std::numeric_limits<std::uintmax_t>::max());
}

BoundedRead ReadRegularFilePrefix(const fs::path& path, std::uintmax_t count) {
    return ReadRegular(path, std::numeric_limits<std::uintmax_t>::max(), count);
}

namespace {

// Links followed before a chain counts as a loop (the kernel's own limit).
constexpr int kMaxLinkHops = 40;
// Names tried for the temporary file before giving up (each one planted by
// someone else costs one try).
constexpr int kTempNameTries = 64;

WriteResult Failure(const fs::path& path, int error) {
    WriteResult result;
    switch (error) {
        case ENOSPC:
        case EDQUOT: result.code = "DISK FULL"; break;
        case EROFS: result.code = "READ-ONLY FILE SYSTEM"; break;
        case EACCES:
        case EPERM: result.code = "READ-ONLY"; break;
        case ENOENT:
        case ENOTDIR: result.code = "NO FOLDER"; break;
        case EISDIR: result.code = "IS A FOLDER"; break;
        case EFBIG: result.code = "FILE TOO LARGE"; break;
        default: result.code = "CANNOT WRITE"; break;
    }
    result.reason = "cannot write " + path.string() + ": " + std::strerror(error);
    return result;
}

WriteResult Failure(const fs::path& path, const char* code, const char* why) {
    WriteResult result;
    result.code = code;
    result.reason = "cannot write " + path.string() + ": " + why;
    return result;
}

// "<name>.tmp<pid>" or "<name>.tmp<pid>.<n>": the pid, or -1 when `entry` is
// not a temporary file of `name`.
long TempOwner(const std::string& entry, const std::string& name) {
    std::string prefix = name + ".tmp";
    if (entry.size() <= prefix.size() || entry.compare(0, prefix.size(), prefix) != 0) return -1;
    std::size_t i = prefix.size();
    long pid = 0;
    std::size_t digits = 0;
    while (i < entry.size() && entry[i] >= '0' && entry[i] <= '9' && digits < 10) {
        pid = pid * 10 + (entry[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0 || pid <= 0) return -1;
    if (i == entry.size()) return pid;
    if (entry[i] != '.' || i + 1 == entry.size()) return -1;
    for (++i; i < entry.size(); ++i)
        if (entry[i] < '0' || entry[i] > '9') return -1;
    return pid;
}

// The temporary files this process is writing at the moment.  A file that
// carries our pid but is not among them was left by an earlier process that
// had the same pid, and is as dead as any other leftover.
std::mutex gOwnTempsMutex;
std::set<std::string> gOwnTemps;

// Removes the temporary files of `name` in `folder` whose process is gone
// (a save killed part way).  Files of running processes are left alone.
// Called with gOwnTempsMutex held.
void RemoveDeadTemps(const fs::path& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    long self = static_cast<long>(::getpid());
    while (dirent* entry = ::readdir(dir)) {
        long pid = TempOwner(entry->d_name, name);
        if (pid < 0) continue;
        if (pid == self) {
            if (gOwnTemps.count((folder / entry->d_name).string()) != 0) continue;
        } else if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) {
            continue;
        }
        ::unlinkat(::dirfd(dir), entry->d_name, 0);  // a planted link goes, never what it names
    }
    ::closedir(dir);
}

bool WriteAll(int fd, const void* data, std::size_t size, int& error) {
    auto p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = ::write(fd, p, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            error = written < 0 ? errno : ENOSPC;
            return false;
        }
        p += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

WriteResult WriteFailure(const fs::path& path, int error) { return Failure(path, error); }

std::optional<fs::path> FinalWriteTarget(const fs::path& path) {
    fs::path current = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::error_code ec;
        fs::path next = fs::read_symlink(current, ec);
        if (ec) return std::nullopt;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return std::nullopt;
}

WriteResult WriteFileSafe(const fs::path& path, const void* data, std::size_t size) {
    auto target = FinalWriteTarget(path);
    if (!target) return Failure(path, ELOOP);
    fs::path folder = target->parent_path();
    if (folder.empty()) folder = ".";
    std::string name = target->filename().string();
    if (name.empty() || name == "." || name == "..") return Failure(path, EISDIR);

    struct stat old {};
    bool exists = ::stat(target->c_str(), &old) == 0;
    if (exists) {
        if (S_ISDIR(old.st_mode)) return Failure(path, EISDIR);
        if (!S_ISREG(old.st_mode)) return Failure(path, "NOT A FILE", "not a regular file");
        // Root may write anything, so the mode bits decide: a file nobody may
        // write stays as it is.
        if ((old.st_mode & 0222) == 0) return Failure(path, "READ-ONLY", "the file is read-only");
        if (::access(target->c_str(), W_OK) != 0) return Failure(path, errno);
    }

    std::string stem = (folder / name).string() + ".tmp" + std::to_string(::getpid());
    fs::path temp;
    int fd = -1;
    {
        std::lock_guard<std::mutex> lock(gOwnTempsMutex);
        RemoveDeadTemps(folder, name);
        // A name already taken (planted, or another thread's) is passed over
        // for one with a number nobody can guess.
        std::random_device random;
        for (int attempt = 0; attempt < kTempNameTries && fd < 0; ++attempt) {
            temp = attempt == 0 ? stem : stem + "." + std::to_string(random() % 1000000000u);
            fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST) return Failure(path, errno);
        }
        if (fd < 0) return Failure(path, "CANNOT WRITE", "every temporary name is taken");
        gOwnTemps.insert(temp.string());
    }
    struct Release {
        std::string name;
        ~Release() {
            std::lock_guard<std::mutex> lock(gOwnTempsMutex);
            gOwnTemps.erase(name);
        }
    } release{temp.string()};

    int error = 0;
    bool ok = true;
    if (exists) {
        // The new file takes the old one's permissions and, where we may, its owner.
        if (::fchmod(fd, old.st_mode & 07777) != 0) {
            ok = false;
            error = errno;
        }
        if (ok && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
            if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
                // Not ours to give away: the file keeps our owner and its old mode.
            }
        }
    }
    if (ok) ok = WriteAll(fd, data, size, error);
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        error = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temp.c_str(), target->c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return Failure(path, error);
    }
    // Make the rename itself durable; a folder that cannot be synced still holds the file.
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    WriteResult result;
    result.ok = true;
    return result;
}

}  // namespace zq
