#include "core/settings_store.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace zq {
namespace {

// The file is read when the store is made and never again: a write holds what
// was read plus the changes, whatever the disk holds by then.
TEST(SettingsStore, ReadsOnceAndWritesWhatItReadPlusItsChanges) {
    test::TempDir dir;
    const auto path = dir.Write("quib.ini", "[General]\nTop=5\n[Other]\nKeep=1\n");
    SettingsStore store(path);
    EXPECT_TRUE(store.Kept());
    EXPECT_TRUE(store.Existed());
    dir.Write("quib.ini", "[General]\nTop=9\n");
    EXPECT_EQ(store.File().GetInt("General", "Top", 0), 5);
    store.File().SetString("General", "Left", "7");
    ASSERT_TRUE(store.Write());
    const SettingsFile written = SettingsFile::Load(path).value();
    EXPECT_EQ(written.GetInt("General", "Top", 0), 5);
    EXPECT_EQ(written.GetInt("General", "Left", 0), 7);
    EXPECT_EQ(written.GetInt("Other", "Keep", 0), 1);

    // A first start: no file yet, its folder made by the first write.
    SettingsStore fresh(dir / "new/zorvoquib/quib.ini");
    EXPECT_FALSE(fresh.Existed());
    EXPECT_TRUE(fresh.Write());
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "new/zorvoquib/quib.ini"));

    // Nothing kept, or nowhere to keep it: refused, and nothing is written.
    EXPECT_EQ(SettingsStore().Write().code, "NO SETTINGS FILE");
    EXPECT_EQ(SettingsStore(std::filesystem::path()).Write().code, "NO SETTINGS FOLDER");
}

}  // namespace
}  // namespace zq
