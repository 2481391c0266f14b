// Behaviour scripts (".scp"): the small per-level programs that event markers
// run, parsed into the World's behaviour table.
#pragma once

#include <array>

#include "core/settings_file.h"
#include "world/world.h"

namespace zq {

using BehaviourTable = std::array<Behaviour, kBehaviourCount>;

// Fills the table from a script.  Behaviour i is the section "Behaviour i"; a
// section without a "Name" leaves its entry as it was (scripts of earlier
// levels stay until replaced).  A named behaviour's 256 commands are decoded
// from the keys "0".."255"; malformed arguments never throw.
void ParseBehaviourScript(BehaviourTable& behaviours, const SettingsFile& script);

// Decodes one command line ("MOVETO (0,1,0),500") into `step`.  Arguments the
// command does not set keep their values.
void ParseCommand(const std::string& line, Step& step);

}  // namespace zq
