// Helpers the fuzz targets share: a scratch data folder, digests of the
// state a refused input must leave alone, and a loud failure for a broken
// promise (libFuzzer keeps the input that caused it).
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>

#include "core/bytes.h"

namespace zq::fuzz {

// Stops the run: libFuzzer records the input as a crash.
[[noreturn]] inline void Broken(const char* promise) {
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}
inline void Check(bool ok, const char* promise) {
    if (!ok) Broken(promise);
}

// A digest fed piece by piece: each piece is hashed whole (std::hash over its
// bytes, fast on the megabytes a World holds) and mixed into the total.
class Digest {
public:
    void Add(const void* data, std::size_t size) {
        const std::size_t piece = std::hash<std::string_view>{}(std::string_view(static_cast<const char*>(data), size));
        hash_ = (hash_ ^ piece) * 1099511628211ull + size;
    }
    template <typename T>
    void Value(const T& v) { Add(&v, sizeof v); }
    void Text(std::string_view s) {
        Value(s.size());
        Add(s.data(), s.size());
    }
    std::uint64_t Hash() const { return hash_; }

private:
    std::uint64_t hash_ = 14695981039346656037ull;
};

// A data folder of this process's own under /dev/shm (or the temp folder),
// removed at exit.
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
        std::filesystem::path p = base / ("zq_fuzz_" + std::to_string(::getpid()));
        std::filesystem::create_directories(p);
        static struct Remover {
            std::filesystem::path path;
            ~Remover() {
                std::error_code ec;
                std::filesystem::remove_all(path, ec);
            }
        } remover{p};
        return p;
    }();
    return folder;
}

inline std::filesystem::path WriteScratch(const std::string& name, const std::uint8_t* data, std::size_t size) {
    std::filesystem::path p = ScratchFolder() / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                               static_cast<std::streamsize>(size));
    return p;
}
inline std::filesystem::path WriteScratch(const std::string& name, const Bytes& bytes) {
    return WriteScratch(name, bytes.data(), bytes.size());
}
inline std::filesystem::path WriteScratch(const std::string& name, std::string_view text) {
    return WriteScratch(name, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

}  // namespace zq::fuzz
