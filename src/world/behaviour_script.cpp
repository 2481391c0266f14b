#include "world/behaviour_script.h"

#include <string>

#include "core/text.h"

namespace zq {

namespace {

void SetIfNumber(std::string_view text, std::int32_t& target) {
    if (auto n = ParseNumber(text)) target = *n;
}

// "(a,b,c)" optionally followed by ")," and a duration.
void ParseMoveTo(std::string_view text, Step& step) {
    if (!text.empty()) {
        step.args[0] = step.args[1] = step.args[2] = 0;
        std::size_t open = text.find('(');
        std::size_t pos = open == std::string_view::npos ? 0 : open + 1;
        static constexpr char kEnds[3] = {',', ',', ')'};
        for (int i = 0; i < 3; ++i) {
            std::size_t end = text.find(kEnds[i], pos);
            if (end == std::string_view::npos) break;
            SetIfNumber(text.substr(pos, end - pos), step.args[static_cast<std::size_t>(i)]);
            pos = end + 1;
        }
    }
    step.args[3] = 1000;
    std::size_t tail = text.find("),");
    if (tail != std::string_view::npos) SetIfNumber(Trim(text.substr(tail + 2)), step.args[3]);
}

void ParseArea(std::string_view text, Step& step) {
    std::array<std::int32_t, 6> values{};
    for (std::size_t i = 0; i < 6; ++i) values[i] = step.args[i];
    ParseSixValues(text, values);
    for (std::size_t i = 0; i < 6; ++i) step.args[i] = values[i];
}

}  // namespace

void ParseCommand(const std::string& line, Step& step) {
    step.command = static_cast<std::int32_t>(Command::None);
    std::size_t blank = line.find_first_of(" \t");
    if (blank == std::string::npos) return;
    std::string word = ToUpper(Trim(std::string_view(line).substr(0, blank)));
    std::string args = Trim(std::string_view(line).substr(blank + 1));

    if (word == "WAITFORPLAYER") {
        step.command = static_cast<std::int32_t>(Command::WaitForPlayer);
        ParseArea(args, step);
    } else if (word == "MAKEFALL") {
        step.command = static_cast<std::int32_t>(Command::MakeFall);
        ParseArea(args, step);
    } else if (word == "PUTOBJECT") {
        step.command = static_cast<std::int32_t>(Command::PutObject);
        std::size_t comma = args.find(',');
        std::string_view n = comma == std::string::npos ? std::string_view() : std::string_view(args).substr(0, comma);
        std::string_view area = comma == std::string::npos ? std::string_view(args) : std::string_view(args).substr(comma + 1);
        SetIfNumber(n, step.args[6]);
        ParseArea(area, step);
    } else if (word == "GOTO") {
        step.command = static_cast<std::int32_t>(Command::Goto);
        step.args[0] = ParseNumber(args).value_or(0);
    } else if (word == "DELAY") {
        step.command = static_cast<std::int32_t>(Command::Delay);
        SetIfNumber(args, step.args[0]);
    } else if (word == "PLAYCLIP") {
        step.command = static_cast<std::int32_t>(Command::PlayClip);
        SetIfNumber(args, step.args[0]);
    } else if (word == "MOVETO") {
        step.command = static_cast<std::int32_t>(Command::MoveTo);
        ParseMoveTo(args, step);
    } else if (word == "TRANSFORMTO") {
        step.command = static_cast<std::int32_t>(Command::TransformTo);
        step.args[0] = ParseNumber(args).value_or(0);
    }
}

void ParseBehaviourScript(BehaviourTable& behaviours, const SettingsFile& script) {
    for (int i = 0; i < kBehaviourCount; ++i) {
        std::string section = "Behaviour " + std::to_string(i);
        std::string name = script.GetString(section, "Name");
        if (name.empty()) continue;
        Behaviour& behaviour = behaviours[static_cast<std::size_t>(i)];
        behaviour.name = name;
        for (int s = 0; s < kStepCount; ++s) {
            Step& step = behaviour.steps[static_cast<std::size_t>(s)];
            step.command = 0;
            std::string line = script.GetString(section, std::to_string(s));
            if (!line.empty()) ParseCommand(line, step);
        }
    }
}

}  // namespace zq
