// zqtool: inspect, check and render the game's data files from the command line.
#include <cstdio>
#include <exception>
#include <iostream>

#include "core/text.h"
#include "tool.h"

namespace zq::tool {

std::vector<Verb>& Verbs() {
    static std::vector<Verb> verbs;
    return verbs;
}

CommandLine CommandLine::Parse(const Args& args, const std::vector<std::string>& valued) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            std::string name = a.substr(2);
            bool takesValue = false;
            for (const std::string& v : valued) takesValue |= v == name;
            if (takesValue) {
                if (i + 1 >= args.size()) throw ToolError("option --" + name + " needs a value");
                line.options.emplace_back(name, args[++i]);
            } else {
                line.flags.push_back(name);
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

void Usage() {
    std::cerr << "usage: zqtool VERB ARGS...\n";
    for (const auto& verb : zq::tool::Verbs()) std::cerr << "  zqtool " << verb.name << " " << verb.usage << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Usage();
        return 2;
    }
    std::string name = argv[1];
    zq::tool::Args args(argv + 2, argv + argc);
    for (const auto& verb : zq::tool::Verbs()) {
        if (verb.name != name) continue;
        try {
            return verb.run(args);
        } catch (const std::exception& e) {
            std::cout.flush();
            std::cerr << "zqtool " << name << ": " << e.what() << "\n";
            return 1;
        }
    }
    if (name == "help" || name == "--help" || name == "-h") {
        Usage();
        return 0;
    }
    std::cerr << "zqtool: unknown verb '" << name << "'\n";
    Usage();
    return 2;
}
