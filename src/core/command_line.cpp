#include "core/command_line.h"

#include <algorithm>
#include <iostream>

#ifndef ZQ_VERSION
#define ZQ_VERSION "0.0"
#endif

namespace zq {

namespace {

const CommandOption* FindOption(const CommandLineRules& rules, const std::string& name) {
    for (const CommandOption& option : rules.options)
        if (option.name == name) return &option;
    return nullptr;
}

CommandLineResult Refuse(std::string why) { return {CommandLineAction::Error, std::move(why)}; }

}  // namespace

std::vector<std::string> ArgumentList(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
}

CommandLineResult ParseCommandLine(const CommandLineRules& rules, const std::vector<std::string>& args) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool looksLikeOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (!looksLikeOption) {
            if (!rules.positional) return Refuse("unexpected argument " + arg);
            if (auto why = rules.positional(arg, static_cast<int>(i))) return Refuse(*why);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") return {CommandLineAction::Help, {}};
        if (arg == "--version") return {CommandLineAction::Version, {}};
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        const CommandOption* option = FindOption(rules, name);
        if (!option) return Refuse("unknown option " + name);
        std::string value;
        if (!option->valueName.empty()) {
            if (inlineValue) value = *inlineValue;
            else if (i + 1 < args.size()) value = args[++i];
            else return Refuse(name + " needs a value (" + option->valueName + ")");
        } else if (inlineValue) {
            return Refuse(name + " takes no value");
        }
        if (option->apply)
            if (auto why = option->apply(value)) return Refuse(*why);
    }
    return {};
}

std::string UsageText(const CommandLineRules& rules) {
    std::string text = rules.summary.empty() ? std::string() : rules.summary + "\n\n";
    text += "usage: " + rules.program + " [OPTION]...";
    if (!rules.positionalUsage.empty()) text += " " + rules.positionalUsage;
    text += "\n\noptions:\n";
    std::vector<std::pair<std::string, std::string>> lines;
    for (const CommandOption& o : rules.options)
        lines.emplace_back(o.name + (o.valueName.empty() ? "" : " " + o.valueName), o.help);
    lines.emplace_back("--help", "show this help and exit");
    lines.emplace_back("--version", "show the version and exit");
    std::size_t width = 0;
    for (const auto& line : lines) width = std::max(width, line.first.size());
    for (const auto& [left, help] : lines) text += "  " + left + std::string(width - left.size() + 2, ' ') + help + "\n";
    if (!rules.footer.empty()) text += "\n" + rules.footer + (rules.footer.back() == '\n' ? "" : "\n");
    return text;
}

std::string GameVersion() { return ZQ_VERSION; }

std::string VersionText(const std::string& program) { return program + " (Zorvo Quib) " + GameVersion(); }

int ReportCommandLine(const CommandLineRules& rules, const CommandLineResult& result) {
    switch (result.action) {
        case CommandLineAction::Run: return -1;
        case CommandLineAction::Help: std::cout << UsageText(rules); return 0;
        case CommandLineAction::Version: std::cout << VersionText(rules.program) << "\n"; return 0;
        case CommandLineAction::Error:
            std::cerr << rules.program << ": " << result.error << "\n" << UsageText(rules);
            return 2;
    }
    return 2;
}

}  // namespace zq
