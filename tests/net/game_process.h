// Headless game programs started by the network tests: each one writes its
// output to a log, and is killed when it outlives its time limit.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

extern char** environ;

namespace zq::test {

inline const std::string kGame = std::string(ZQ_BUILD_DIR) + "/game_soft";
inline const std::string kData = std::string(ZQ_BUILD_DIR) + "/data";
inline const std::string kReplay = std::string(ZQ_SOURCE_DIR) + "/content/replays/01_first_steps.txt";

class Process {
public:
    Process(const std::vector<std::string>& args, const std::filesystem::path& log) {
        std::vector<std::string> all = {kGame, "--data", kData, "--headless"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawn(&pid_, kGame.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Process() {
        if (pid_ > 0 && !done_) Kill();
    }
    // Waits for the exit code, killing the process after `limit`.
    int Wait(std::chrono::seconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (pid_ > 0 && !done_) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                done_ = true;
                code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (std::chrono::steady_clock::now() > end) {
                Kill();
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return code_;
    }
    void Kill() {
        if (pid_ <= 0 || done_) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        done_ = true;
        code_ = -9;
    }

private:
    pid_t pid_ = -1;
    bool done_ = false;
    int code_ = -1;
};

inline nlohmann::json ReadJson(const std::filesystem::path& p) {
    std::ifstream in(p);
    nlohmann::json j;
    if (in) in >> j;
    return j;
}

}  // namespace zq::test
