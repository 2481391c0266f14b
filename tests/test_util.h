// Helpers shared by the test suites: temporary folders and small file writers.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "core/bytes.h"

namespace zq::test {

// A fresh folder under the system temp folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("zq_test_" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    // Writes `content` to `name` (folders created as needed) and returns the path.
    std::filesystem::path Write(const std::string& name, const std::string& content) const {
        auto p = path_ / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    std::filesystem::path Write(const std::string& name, const Bytes& bytes) const {
        return Write(name, std::string(bytes.begin(), bytes.end()));
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace zq::test
