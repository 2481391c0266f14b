// Behaviour scripts: any text parses, every decoded command is one the rules
// know, and the settings layout under it reads back what it writes.
#include <memory>
#include <string_view>

#include "core/settings_file.h"
#include "fuzz_util.h"
#include "world/behaviour_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace zq;
    static auto table = std::make_unique<BehaviourTable>();
    *table = BehaviourTable{};
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    const SettingsFile file = SettingsFile::FromText(text);
    ParseBehaviourScript(*table, file);
    for (const Behaviour& b : *table)
        for (const Step& step : b.steps)
            fuzz::Check(step.command >= static_cast<int>(Command::None) && step.command <= static_cast<int>(Command::TransformTo),
                        "commands are known ones");

    // The text the file writes back parses to the same text again.
    const std::string once = file.ToText();
    fuzz::Check(SettingsFile::FromText(once).ToText() == once, "settings text is stable once written");
    return 0;
}
