// What would keep a level from playing as its designer means: checked on
// Save and before a test run, shown in the editor's problem list.
#pragma once

#include <string>
#include <vector>

#include "world/world.h"

namespace zq {

// One plain sentence per problem, in a fixed order; empty for a sound level.
std::vector<std::string> LevelProblems(const World& w);

}  // namespace zq
