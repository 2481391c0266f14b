// Input scripts (--input): a malformed line is refused with a message, an
// accepted script writes back to a script that parses to the same lines.
#include <string>
#include <string_view>

#include "core/errors.h"
#include "fuzz_util.h"
#include "shell/input_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace zq;
    InputScript script;
    try {
        script = ParseInputScript(std::string_view(reinterpret_cast<const char*>(bytes), size));
    } catch (const LoadError& e) {
        fuzz::Check(e.what()[0] != '\0', "a refusal says why");
        return 0;
    }
    std::string text;
    for (const ScriptLine& line : script.lines) {
        fuzz::Check(line.count >= 1, "every line lasts at least one frame");
        fuzz::Check(line.frameMs >= 0, "frame times are not negative");
        fuzz::Check((line.keys >> kScriptKeyCount) == 0, "only known keys");
        text += std::to_string(line.count) + "x " + std::to_string(line.frameMs) + " " + FormatScriptKeys(line.keys);
        if (line.mouseDX != 0 || line.mouseDY != 0)
            text += " mouse " + std::to_string(line.mouseDX) + " " + std::to_string(line.mouseDY);
        text += "\n";
    }
    fuzz::Check(script.FrameCount() >= static_cast<std::int64_t>(script.lines.size()), "frame count adds up");
    const InputScript again = ParseInputScript(text);
    fuzz::Check(again.lines.size() == script.lines.size(), "written scripts read back");
    for (std::size_t i = 0; i < again.lines.size(); ++i) {
        const ScriptLine& a = script.lines[i];
        const ScriptLine& b = again.lines[i];
        fuzz::Check(a.count == b.count && a.frameMs == b.frameMs && a.keys == b.keys && a.mouseDX == b.mouseDX &&
                        a.mouseDY == b.mouseDY,
                    "written scripts read back");
    }
    return 0;
}
