#include "core/file_io.h"

#include <cstdio>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace zq {

std::optional<Bytes> ReadFileBytes(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    std::streamoff length = in.tellg();
    if (length < 0) return std::nullopt;
    in.seekg(0, std::ios::beg);
    Bytes bytes(static_cast<std::size_t>(length));
    if (length > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), length)) return std::nullopt;
    return bytes;
}

bool WriteFileAtomic(const std::filesystem::path& path, const void* data, std::size_t size) {
    std::filesystem::path temp = path;
    temp += ".tmp" + std::to_string(::getpid());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    auto p = static_cast<const char*>(data);
    std::size_t left = size;
    bool ok = true;
    while (left > 0) {
        ssize_t written = ::write(fd, p, left);
        if (written <= 0) {
            ok = false;
            break;
        }
        p += written;
        left -= static_cast<std::size_t>(written);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

}  // namespace zq
