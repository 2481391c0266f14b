// Readable level sources: layers drawn as character maps with a legend, the
// start, exit, sentries and markers, and the behaviour script, compiled into
// a ".lev" file and its ".scp" companion.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "core/bytes.h"
#include "world/world.h"

namespace zq::gen {

struct CompiledLevel {
    std::unique_ptr<World> world;  // the level as the game will load it
    Bytes lev;                     // the ".lev" bytes
    std::string scp;               // the ".scp" text; empty when the level has no script
};

// The map characters every level may use, and the object type each stands for.
const std::map<char, int>& DefaultLegend();

// Compiles the source text; `name` is used in error messages.  Throws
// std::runtime_error with the line number for anything malformed and for
// levels that cannot be played (start outside the grid or not above a floor,
// exit outside the grid, an ingot door without ingots, ...).
CompiledLevel CompileLevel(const std::string& source, const std::string& name);

}  // namespace zq::gen
