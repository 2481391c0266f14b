#include "shell/input.h"
#include "shell/input_script.h"

#include <gtest/gtest.h>

#include "core/errors.h"

namespace zq {
namespace {

TEST(InputScript, ParsesRunsKeysMouseAndComments) {
    InputScript s = ParseInputScript(
        "# walk to the ladder\n"
        "40x 30 up\n"
        "\n"
        "15 -   # one idle frame\n"
        "3X 20 up,JUMP,skip mouse -4 2\n");
    ASSERT_EQ(s.lines.size(), 3u);
    EXPECT_EQ(s.lines[0].count, 40);
    EXPECT_EQ(s.lines[0].frameMs, 30);
    EXPECT_EQ(s.lines[0].keys, 1u << kScriptUp);
    EXPECT_EQ(s.lines[1].count, 1);
    EXPECT_EQ(s.lines[1].keys, 0u);
    EXPECT_EQ(s.lines[2].keys, (1u << kScriptUp) | (1u << kScriptJump) | (1u << kScriptSkip));
    EXPECT_EQ(s.lines[2].mouseDX, -4);
    EXPECT_EQ(s.FrameCount(), 44);
}

TEST(InputScript, MalformedLinesNameTheLine) {
    for (const char* bad : {"0x 30 up", "x 30 up", "30", "30 up,fly", "30 up mouse 1", "-5 up", "2x 30 up wheel 1 2"}) {
        try {
            ParseInputScript(std::string("10 -\n") + bad + "\n");
            ADD_FAILURE() << bad;
        } catch (const LoadError& e) {
            EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
        }
    }
}

TEST(InputScript, AHugeBadLineIsEchoedOnlyInPart) {
    for (const std::string& bad : {std::string(5000000, '7') + "x 30 up", "30 up," + std::string(5000000, 'q')}) {
        try {
            ParseInputScript(bad);
            ADD_FAILURE() << "accepted";
        } catch (const LoadError& e) {
            EXPECT_LT(std::string(e.what()).size(), 260u);
        }
    }
}

TEST(ScriptedInput, PlaysFramesAndMapsNamesToTheDefaultKeys) {
    ScriptedInput input(ParseInputScript("2x 30 up,look\n1 skip,f4,rear mouse 3 -1\n"));
    ASSERT_TRUE(input.Advance());
    EXPECT_EQ(input.FrameMs(), 30);
    EXPECT_TRUE(input.KeyDown(Key::Up));
    EXPECT_TRUE(input.KeyDown(Key::Up));  // held keys stay down on every query
    EXPECT_TRUE(input.KeyDown(Key::Ctrl));
    EXPECT_FALSE(input.KeyDown(Key::Alt));
    ASSERT_TRUE(input.Advance());
    ASSERT_TRUE(input.Advance());
    EXPECT_EQ(input.FrameMs(), 1);
    EXPECT_FALSE(input.KeyDown(Key::Up));
    EXPECT_TRUE(input.KeyDown(Key::Ctrl) && input.KeyDown(Key::Alt) && input.KeyDown(Key::Insert));
    EXPECT_TRUE(input.KeyDown(Key::F4));
    EXPECT_TRUE(input.KeyDown(Key::Kp0));
    MouseMotion m = input.TakeMouseMotion(true);
    EXPECT_EQ(m.dx, 3);
    EXPECT_EQ(m.dy, -1);
    EXPECT_FALSE(input.Advance());
}

TEST(InputRecorder, JoinsEqualFramesAndReplaysTheSame) {
    InputRecorder recorder;
    ScriptKeys walk = (1u << kScriptUp) | (1u << kScriptAction);
    for (int i = 0; i < 5; ++i) recorder.AddFrame(30, walk, {});
    recorder.AddFrame(31, walk, {});
    recorder.AddFrame(31, 0, {2, 0});
    std::string text = recorder.Text();
    EXPECT_NE(text.find("5x 30 up,action\n31 up,action\n31 - mouse 2 0\n"), std::string::npos) << text;
    InputScript back = ParseInputScript(text);
    ASSERT_EQ(back.lines.size(), 3u);
    EXPECT_EQ(back.FrameCount(), 7);
    EXPECT_EQ(back.lines[2].mouseDX, 2);
}

// A device whose keys the test sets directly.
struct FakeDevice : InputDevice {
    std::array<bool, kKeyCount> down{};
    JoystickState stick;
    bool KeyDown(Key key) override { return down[static_cast<std::size_t>(key)]; }
    MouseMotion TakeMouseMotion(bool) override { return {5, -5}; }
    JoystickState Joystick() override { return stick; }
};

TEST(PollInput, KeysJoystickAndMouseModeSetTheCommandFlags) {
    FakeDevice device;
    Actor actor;
    KeyBindings keys;
    device.down[static_cast<std::size_t>(Key::Up)] = true;
    device.stick.buttons[3] = true;
    PollInput(device, actor, keys, 0);
    EXPECT_TRUE(actor.commands.forward);
    EXPECT_TRUE(actor.commands.menu);
    EXPECT_FALSE(actor.prevCommands.forward);

    device.down.fill(false);
    device.stick = {};
    device.down[static_cast<std::size_t>(Key::MouseLeft)] = true;
    device.down[static_cast<std::size_t>(Key::MouseRight)] = true;
    PollInput(device, actor, keys, 0);  // mouse mode off: buttons mean nothing
    EXPECT_TRUE(actor.prevCommands.forward);
    EXPECT_FALSE(actor.commands.forward);
    EXPECT_FALSE(actor.commands.action);
    MouseInput mouse = PollInput(device, actor, keys, 2);
    EXPECT_TRUE(actor.commands.action);  // left button is Button 3
    EXPECT_TRUE(actor.commands.jump);    // right button is Button 1
    EXPECT_EQ(mouse.motion.dx, 5);
}

TEST(KeyBindings, ComeFromTheSettingsFileAndKeepDefaultsForUnknownNames) {
    auto file = SettingsFile::FromText("[Keys]\nForward=w\nJump=Nonsense\nMenu=F10\n");
    KeyBindings b = ReadKeyBindings(file);
    EXPECT_EQ(b.command[0], Key::W);
    EXPECT_EQ(b.command[4], Key::Space);
    EXPECT_EQ(b.command[7], Key::F10);
    SettingsFile out;
    WriteKeyBindings(out, b);
    EXPECT_EQ(out.GetString("Keys", "Forward"), "W");
    EXPECT_EQ(ReadKeyBindings(out).command, b.command);
    for (int k = 1; k < kKeyCount; ++k) EXPECT_EQ(KeyFromName(KeyName(static_cast<Key>(k))), static_cast<Key>(k));
}

}  // namespace
}  // namespace zq
