// zqtool: verbs register themselves here; each prints JSON on stdout and
// reports a refused input by throwing (main prints one line and exits 1).
#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zq::tool {

using Args = std::vector<std::string>;

// A bad command line or a refused input; the message is printed as is.
struct ToolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// An option the verb does not know: the usage goes to stderr, exit code 2.
struct UsageError : ToolError {
    using ToolError::ToolError;
};

struct Verb {
    std::string name;
    std::string usage;  // arguments, for the help text
    std::function<int(const Args&)> run;
};

std::vector<Verb>& Verbs();

// The running zqtool's own file (set by main), for finding the data folder.
std::filesystem::path& ProgramFile();

struct RegisterVerb {
    RegisterVerb(std::string name, std::string usage, std::function<int(const Args&)> run) {
        Verbs().push_back({std::move(name), std::move(usage), std::move(run)});
    }
};

// Command-line helpers: positional arguments and "--name value" options.
struct CommandLine {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;  // name without "--"
    std::vector<std::string> flags;                            // options without a value

    // `valued` names the options that take a value, `switches` those without;
    // any other argument starting with "-" throws UsageError.
    static CommandLine Parse(const Args& args, const std::vector<std::string>& valued,
                             const std::vector<std::string>& switches = {});
    const std::string* Option(const std::string& name) const;
    bool Flag(const std::string& name) const;
    const std::string& Positional(std::size_t index, const char* what) const;
};

// The data folder: --data when given (it must be a folder), else the one
// FindDataDir finds beside or above the program; throws when there is none.
std::filesystem::path DataFolder(const CommandLine& line);

// Latin-1 text from a data file as a JSON string.
nlohmann::json Text(const std::string& latin1);

void Print(const nlohmann::json& value);

}  // namespace zq::tool
