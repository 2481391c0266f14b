// Command lines as a table of options: each program lists what it takes, and
// the parser, the --help text and the error handling follow from the table.
// Every program answers --help (usage on stdout) and --version; anything it
// does not know is refused with the usage on stderr and exit code 2.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zq {

// Takes an option's value (or "" for a switch); returns why it is refused, or nothing.
using OptionHandler = std::function<std::optional<std::string>(const std::string& value)>;

struct CommandOption {
    std::string name;       // "--data"
    std::string valueName;  // "DIR"; empty for a switch that takes no value
    std::string help;       // one line for --help
    OptionHandler apply;
};

struct CommandLineRules {
    std::string program;         // "game_soft"
    std::string summary;         // what the program is, first line of --help
    std::string positionalUsage; // shown after the options, e.g. "[FILE.lev]"
    std::vector<CommandOption> options;
    // Takes an argument that is not an option (`index` counts every argument
    // from 0); returns why it is refused.  Without it, such arguments are refused.
    std::function<std::optional<std::string>(const std::string& arg, int index)> positional;
    std::string footer;          // extra lines at the end of --help
    std::string installedName;   // "zorvoquib": the name in a package, for the manual page
    // More sections of the manual page (KEYS, FILES, ENVIRONMENT): each a title
    // and its (term, explanation) entries.
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> manSections;
};

// --man-page prints the manual page (roff, section 6) made from the same
// table as --help; the build installs it beside the program.
enum class CommandLineAction { Run, Help, Version, ManPage, Error };

struct CommandLineResult {
    CommandLineAction action = CommandLineAction::Run;
    std::string error;  // for Error: one line, without the program name
};

// Reads `args` (without the program name).  "--name value" and "--name=value"
// both work; "--" makes every later argument positional.
CommandLineResult ParseCommandLine(const CommandLineRules& rules, const std::vector<std::string>& args);
std::vector<std::string> ArgumentList(int argc, char** argv);
// The name the program was started as (argv[0]'s base name, "zorvoquib" when
// installed), or `fallback` when there is none.
std::string ProgramName(int argc, char** argv, const std::string& fallback);

// The --help text: summary, usage line, one line per option.
std::string UsageText(const CommandLineRules& rules);
// The manual page: name, synopsis, description, one entry per option (the
// lines of --help), and the footer as notes.  `description` is a paragraph
// (the summary when empty).
std::string ManPageText(const CommandLineRules& rules, const std::string& description);
// A manual page from already formatted parts, for programs without an option
// table (zqtool's verbs): `entries` are (term, explanation) pairs.
std::string ManPageFromParts(const std::string& name, const std::string& summary, const std::string& synopsis,
                             const std::string& description,
                             const std::vector<std::pair<std::string, std::string>>& entries,
                             const std::string& entriesTitle, const std::string& notes,
                             const decltype(CommandLineRules::manSections)& sections = {});
// "game_soft (Zorvo Quib) 1.0"
std::string VersionText(const std::string& program);
std::string GameVersion();

// Prints what the result asks for: help or version on stdout (exit code 0), an
// error and the usage on stderr (2).  Nothing to print for Run: -1.
int ReportCommandLine(const CommandLineRules& rules, const CommandLineResult& result);

}  // namespace zq
