// Helpers shared by the test suites: temporary folders and small file writers.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
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

// Whether the shell finds `name` (a program the test needs, such as xvfb-run).
inline bool HaveCommand(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// A command's exit code, stdout and stderr.
struct ToolRun {
    int exitCode = -1;
    std::string out, err;
};

// Runs a shell command line in `dir` and collects its exit code, stdout and stderr.
inline ToolRun RunShell(const std::string& command, const TempDir& dir) {
    std::string errFile = (dir / "stderr.txt").string();
    std::string line = "cd " + dir.Path().string() + " && (" + command + ") 2>" + errFile;
    ToolRun run;
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
    int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadText(errFile);
    return run;
}

// Runs zqtool in `dir` with `args` (a shell word list).
inline ToolRun RunTool(const std::string& args, const TempDir& dir) {
    return RunShell(std::string(ZQ_TOOL_PATH) + " " + args, dir);
}

// Runs zqtool in `dir` with `args` under /usr/bin/time, and reports its exit
// code and the most memory it held (resident kilobytes; 0 when time is not
// installed).  The tool is started by the small time program, not forked from
// the test process, so its peak is its own.
struct MeasuredRun {
    int exitCode = -1;
    long peakKilobytes = 0;
};
inline MeasuredRun RunToolMeasured(const std::string& args, const TempDir& dir) {
    MeasuredRun run;
    const ToolRun tool = RunShell("/usr/bin/time -f 'peak %M' -o peak.txt " + std::string(ZQ_TOOL_PATH) + " " + args +
                                      " >/dev/null",
                                  dir);
    run.exitCode = tool.exitCode;
    const std::string peak = ReadText(dir / "peak.txt");
    if (auto at = peak.rfind("peak "); at != std::string::npos) run.peakKilobytes = std::atol(peak.c_str() + at + 5);
    return run;
}

}  // namespace zq::test
