// Whole-file reads and atomic whole-file writes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "core/bytes.h"

namespace zq {

// The file's bytes, or nothing when it cannot be opened or read.
std::optional<Bytes> ReadFileBytes(const std::filesystem::path& path);

// Writes to a temporary file beside `path`, then renames it over `path`, so a
// crash leaves either the old file or the new one, never half of one.
// Returns false (and leaves `path` untouched) when anything fails.
bool WriteFileAtomic(const std::filesystem::path& path, const void* data, std::size_t size);
inline bool WriteFileAtomic(const std::filesystem::path& path, const Bytes& bytes) {
    return WriteFileAtomic(path, bytes.data(), bytes.size());
}
inline bool WriteFileAtomic(const std::filesystem::path& path, const std::string& text) {
    return WriteFileAtomic(path, text.data(), text.size());
}

}  // namespace zq
