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
        if (arg == "--man-page") return {CommandLineAction::ManPage, {}};
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

namespace {

// Text made safe for roff: backslashes doubled, hyphens of option names kept
// as real minus signs, and no line starting with a control character.
std::string Roff(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
        lineStart = c == '\n';
    }
    return out;
}

// The lines of --help for the options, "--data DIR" and what it does.
std::vector<std::pair<std::string, std::string>> OptionLines(const CommandLineRules& rules) {
    std::vector<std::pair<std::string, std::string>> lines;
    for (const CommandOption& o : rules.options)
        lines.emplace_back(o.name + (o.valueName.empty() ? "" : " " + o.valueName), o.help);
    lines.emplace_back("--help", "show this help and exit");
    lines.emplace_back("--version", "show the version and exit");
    return lines;
}

}  // namespace

std::string ManPageFromParts(const std::string& name, const std::string& summary, const std::string& synopsis,
                             const std::string& description,
                             const std::vector<std::pair<std::string, std::string>>& entries,
                             const std::string& entriesTitle, const std::string& notes,
                             const decltype(CommandLineRules::manSections)& sections) {
    std::string page = ".TH " + Roff(name) + " 6 \"\" \"Zorvo Quib " + GameVersion() + "\" \"Games\"\n";
    page += ".SH NAME\n" + Roff(name) + " \\- " + Roff(summary) + "\n";
    page += ".SH SYNOPSIS\n" + Roff(synopsis) + "\n";
    page += ".SH DESCRIPTION\n" + Roff(description) + "\n";
    page += ".SH " + Roff(entriesTitle) + "\n";
    for (const auto& [term, text] : entries) page += ".TP\n.B " + Roff(term) + "\n" + Roff(text) + "\n";
    for (const auto& [title, lines] : sections) {
        page += ".SH " + Roff(title) + "\n";
        for (const auto& [term, text] : lines) page += ".TP\n.B " + Roff(term) + "\n" + Roff(text) + "\n";
    }
    if (!notes.empty()) page += ".SH NOTES\n" + Roff(notes) + (notes.back() == '\n' ? "" : "\n");
    return page;
}

std::string ManPageText(const CommandLineRules& rules, const std::string& description) {
    const std::string name = rules.installedName.empty() ? rules.program : rules.installedName;
    std::string summary = rules.summary;
    if (const auto colon = summary.find(": "); colon != std::string::npos) summary = summary.substr(colon + 2);
    while (!summary.empty() && summary.back() == '.') summary.pop_back();
    std::string synopsis = name + " [OPTION]...";
    if (!rules.positionalUsage.empty()) synopsis += " " + rules.positionalUsage;
    std::string about = description.empty() ? summary + "." : description;
    if (name != rules.program) about += "\nIn a build tree this program is called " + rules.program + ".";
    return ManPageFromParts(name, summary, synopsis, about, OptionLines(rules), "OPTIONS", rules.footer,
                            rules.manSections);
}

std::string UsageText(const CommandLineRules& rules) {
    std::string text = rules.summary.empty() ? std::string() : rules.summary + "\n\n";
    text += "usage: " + rules.program + " [OPTION]...";
    if (!rules.positionalUsage.empty()) text += " " + rules.positionalUsage;
    text += "\n\noptions:\n";
    const std::vector<std::pair<std::string, std::string>> lines = OptionLines(rules);
    std::size_t width = 0;
    for (const auto& line : lines) width = std::max(width, line.first.size());
    for (const auto& [left, help] : lines) text += "  " + left + std::string(width - left.size() + 2, ' ') + help + "\n";
    if (!rules.footer.empty()) text += "\n" + rules.footer + (rules.footer.back() == '\n' ? "" : "\n");
    return text;
}

std::string ProgramName(int argc, char** argv, const std::string& fallback) {
    if (argc < 1 || !argv || !argv[0] || !*argv[0]) return fallback;
    std::string name = argv[0];
    if (const auto slash = name.find_last_of('/'); slash != std::string::npos) name = name.substr(slash + 1);
    return name.empty() ? fallback : name;
}

std::string GameVersion() { return ZQ_VERSION; }

std::string VersionText(const std::string& program) { return program + " (Zorvo Quib) " + GameVersion(); }

int ReportCommandLine(const CommandLineRules& rules, const CommandLineResult& result) {
    switch (result.action) {
        case CommandLineAction::Run: return -1;
        case CommandLineAction::Help: std::cout << UsageText(rules); return 0;
        case CommandLineAction::Version: std::cout << VersionText(rules.program) << "\n"; return 0;
        case CommandLineAction::ManPage: std::cout << ManPageText(rules, ""); return 0;
        case CommandLineAction::Error:
            std::cerr << rules.program << ": " << result.error << "\n" << UsageText(rules);
            return 2;
    }
    return 2;
}

}  // namespace zq
