// zqtool: inspect, check and render the game's data files from the command line.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <iostream>

#include "core/command_line.h"
#include "core/data_dir.h"
#include "core/text.h"
#include "tool.h"

namespace zq::tool {

std::filesystem::path& ProgramFile() {
    static std::filesystem::path path;
    return path;
}

std::filesystem::path DataFolder(const CommandLine& line) {
    const std::string* dir = line.Option("data");
    if (dir) {
        std::error_code ec;
        if (!std::filesystem::is_directory(*dir, ec)) throw ToolError("not a folder: " + *dir);
        return *dir;
    }
    const DataDirSearch search = FindDataDir(std::nullopt, ProgramFile());
    if (!search.found) throw ToolError(search.NotFoundMessage());
    return *search.found;
}

std::vector<Verb>& Verbs() {
    static std::vector<Verb> verbs;
    return verbs;
}

CommandLine CommandLine::Parse(const Args& args, const std::vector<std::string>& valued,
                               const std::vector<std::string>& switches) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 1 && a[0] == '-') {
            const std::string name = a.compare(0, 2, "--") == 0 ? a.substr(2) : std::string();
            const bool takesValue = !name.empty() && std::find(valued.begin(), valued.end(), name) != valued.end();
            const bool isSwitch = !name.empty() && std::find(switches.begin(), switches.end(), name) != switches.end();
            if (takesValue) {
                if (i + 1 >= args.size()) throw UsageError("option --" + name + " needs a value");
                line.options.emplace_back(name, args[++i]);
            } else if (isSwitch) {
                line.flags.push_back(name);
            } else {
                throw UsageError("unknown option " + a);
            }
        } else {
            line.positional.push_back(a);
        }
    }
    return line;
}

const std::string* CommandLine::Option(const std::string& name) const {
    for (const auto& [key, value] : options)
        if (key == name) return &value;
    return nullptr;
}

bool CommandLine::Flag(const std::string& name) const {
    for (const std::string& f : flags)
        if (f == name) return true;
    return false;
}

const std::string& CommandLine::Positional(std::size_t index, const char* what) const {
    if (index >= positional.size()) throw ToolError(std::string("missing argument: ") + what);
    return positional[index];
}

nlohmann::json Text(const std::string& latin1) { return Latin1ToUtf8(latin1); }

void Print(const nlohmann::json& value) { std::cout << value.dump(2) << "\n"; }

}  // namespace zq::tool

namespace {

constexpr const char* kUsageNotes =
    "Without --data, verbs that need the data folder use $ZQ_DATA, else \"data\" beside\n"
    "the program, else ../share/zorvoquib from the program's folder; bank-info reads\n"
    "the folder its bank file is in.\n";

// The name the program was started as ("zorvoquib-tool" once installed).
std::string gProgram = "zqtool";

void Usage(std::ostream& out) {
    out << gProgram << ": inspect, check and render Zorvo Quib data files (JSON on stdout)\n\n"
        << "usage: " << gProgram << " VERB ARGS...\n";
    for (const auto& verb : zq::tool::Verbs()) out << "  " << gProgram << " " << verb.name << " " << verb.usage << "\n";
    out << "  " << gProgram << " --help | --version\n\n" << kUsageNotes;
}

}  // namespace

int main(int argc, char** argv) {
    gProgram = zq::ProgramName(argc, argv, "zqtool");
    if (argc < 2) {
        Usage(std::cerr);
        return 2;
    }
    std::string name = argv[1];
    zq::tool::Args args(argv + 2, argv + argc);
    zq::tool::ProgramFile() = zq::ProgramPath(argv[0]);
    for (const auto& verb : zq::tool::Verbs()) {
        if (verb.name != name) continue;
        try {
            return verb.run(args);
        } catch (const zq::tool::UsageError& e) {
            std::cout.flush();
            std::cerr << gProgram << " " << name << ": " << e.what() << "\n";
            Usage(std::cerr);
            return 2;
        } catch (const std::exception& e) {
            std::cout.flush();
            std::cerr << gProgram << " " << name << ": " << e.what() << "\n";
            return 1;
        }
    }
    if (name == "help" || name == "--help" || name == "-h") {
        Usage(std::cout);
        return 0;
    }
    if (name == "--man-page") {
        // The same verbs and words as --help, as a manual page.
        std::vector<std::pair<std::string, std::string>> entries;
        for (const auto& verb : zq::tool::Verbs())
            entries.emplace_back(verb.name, "zorvoquib-tool " + verb.name + " " + verb.usage);
        entries.emplace_back("--help", "show this help and exit");
        entries.emplace_back("--version", "show the version and exit");
        std::cout << zq::ManPageFromParts(
            "zorvoquib-tool", "inspect, check and render Zorvo Quib data files", "zorvoquib-tool VERB ARGS...",
            "Reads the game's levels, scripts, meshes, pictures and banks and answers in JSON on standard "
            "output.\nIn a build tree this program is called zqtool.",
            entries, "VERBS", kUsageNotes);
        return 0;
    }
    if (name == "--version") {
        std::cout << zq::VersionText(gProgram) << "\n";
        return 0;
    }
    std::cerr << gProgram << ": unknown verb '" << name << "'\n";
    Usage(std::cerr);
    return 2;
}
