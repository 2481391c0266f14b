// The safe writer: modes kept, links followed, planted temporary files never
// written through, read-only files and full disks refused with a reason.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/file_io.h"
#include "test_util.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

mode_t ModeOf(const fs::path& p) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A process id that certainly belongs to nobody now: a child that has ended.
pid_t DeadPid() {
    pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

// Readers name a ceiling: a longer file is refused before anything is read,
// and a prefix read takes only the bytes a layout can use.
TEST(ReadFile, CeilingsAndPrefixesReadNoMoreThanAsked) {
    test::TempDir dir;
    const auto file = dir.Write("data", std::string("0123456789"));
    EXPECT_EQ(ReadFileBytes(file, 10)->size(), 10u);
    const BoundedRead over = ReadRegularFile(file, 9);
    EXPECT_FALSE(over.bytes);
    EXPECT_EQ(over.why, "larger than 9 bytes");
    EXPECT_EQ(ReadRegularFilePrefix(file, 4).bytes, (Bytes{'0', '1', '2', '3'}));
    EXPECT_EQ(ReadRegularFilePrefix(file, 100).bytes->size(), 10u);
    // A huge sparse file: only the prefix is ever allocated and read.
    fs::resize_file(file, 8ull << 30);
    EXPECT_EQ(ReadRegularFilePrefix(file, 16).bytes->size(), 16u);
    EXPECT_FALSE(ReadFileBytes(file, 1u << 30));
    EXPECT_FALSE(ReadRegularFilePrefix(dir.Path(), 4).bytes);  // a folder is no file
}

TEST(WriteFileSafe, KeepsTheTargetsModeAndLeavesNoTemporaryFile) {
    test::TempDir dir;
    for (mode_t mode : {0600, 0640, 0755}) {
        auto path = dir.Write("level.lev", "old");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        WriteResult written = WriteFileSafe(path, std::string("new"));
        ASSERT_TRUE(written) << written.reason;
        EXPECT_EQ(test::ReadText(path), "new");
        EXPECT_EQ(ModeOf(path), mode);
        EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"level.lev"});
    }
}

TEST(WriteFileSafe, WritesThroughLinksAndKeepsThemLinks) {
    test::TempDir dir;
    auto real = dir.Write("real/quib.ini", "old");
    fs::create_directories(dir / "start");
    // A relative link to a relative link: both stay, the final file changes.
    fs::create_symlink("../real/quib.ini", dir / "start/middle.ini");
    fs::create_symlink("middle.ini", dir / "start/quib.ini");
    ASSERT_TRUE(WriteFileSafe(dir / "start/quib.ini", std::string("new")));
    EXPECT_TRUE(fs::is_symlink(dir / "start/quib.ini"));
    EXPECT_TRUE(fs::is_symlink(dir / "start/middle.ini"));
    EXPECT_EQ(test::ReadText(real), "new");
    EXPECT_EQ(Names(dir / "real"), std::vector<std::string>{"quib.ini"});

    // A dangling link creates the file it names.
    fs::create_symlink(dir / "real/made.ini", dir / "start/dangling.ini");
    ASSERT_TRUE(WriteFileSafe(dir / "start/dangling.ini", std::string("made")));
    EXPECT_TRUE(fs::is_symlink(dir / "start/dangling.ini"));
    EXPECT_EQ(test::ReadText(dir / "real/made.ini"), "made");

    // A loop is refused, and nothing is created.
    fs::create_symlink("loop.b", dir / "start/loop.a");
    fs::create_symlink("loop.a", dir / "start/loop.b");
    EXPECT_FALSE(WriteFileSafe(dir / "start/loop.a", std::string("x")));
}

TEST(WriteFileSafe, RefusesWhatItMustNotReplace) {
    test::TempDir dir;
    auto readOnly = dir.Write("locked.lev", "kept");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    fs::create_directories(dir / "folder.ini");
    struct Case {
        fs::path path;
        const char* code;
    } cases[] = {
        {readOnly, "READ-ONLY"},
        {dir / "folder.ini", "IS A FOLDER"},
        {dir / "missing/quib.ini", "NO FOLDER"},
    };
    for (const Case& c : cases) {
        WriteResult written = WriteFileSafe(c.path, std::string("new"));
        EXPECT_FALSE(written) << c.path;
        EXPECT_EQ(written.code, c.code) << c.path;
        EXPECT_NE(written.reason.find(c.path.string()), std::string::npos) << written.reason;
    }
    EXPECT_EQ(test::ReadText(readOnly), "kept");
    EXPECT_EQ(ModeOf(readOnly), 0444u);
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"folder.ini", "locked.lev"}));
}

TEST(WriteFileSafe, PlantedTemporaryLinksAreNeverWrittenThrough) {
    test::TempDir dir;
    auto victim = dir.Write("victim.txt", "victim");
    const std::string own = "TEST.lev.tmp" + std::to_string(::getpid());
    fs::create_symlink(victim, dir / own);
    fs::create_symlink(victim, dir / (own + ".1"));
    ASSERT_TRUE(WriteFileSafe(dir / "TEST.lev", std::string("level")));
    EXPECT_EQ(test::ReadText(victim), "victim");
    EXPECT_EQ(test::ReadText(dir / "TEST.lev"), "level");
    EXPECT_FALSE(fs::is_symlink(dir / "TEST.lev"));
    // Names with our pid that we are not writing were planted, or left by an
    // earlier process with the same pid: they go, the file they name stays.
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"TEST.lev", "victim.txt"}));
}

// A killed save of an earlier process whose pid is ours again: its half file
// neither stops the write nor receives it, and is gone afterwards.
TEST(WriteFileSafe, LeftoversCarryingOurOwnPidAreAnEarlierProcesses) {
    test::TempDir dir;
    const std::string own = "quib.ini.tmp" + std::to_string(::getpid());
    dir.Write(own, std::string(5000, 'x'));
    dir.Write(own + ".1", "half");
    auto written = WriteFileSafe(dir / "quib.ini", std::string("new"));
    ASSERT_TRUE(written) << written.reason;
    EXPECT_EQ(test::ReadText(dir / "quib.ini"), "new");
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"quib.ini"}));
}

TEST(WriteFileSafe, LeftoversOfDeadProcessesGoOnTheNextWrite) {
    test::TempDir dir;
    auto victim = dir.Write("victim.txt", "victim");
    const std::string dead = std::to_string(DeadPid());
    dir.Write("quib.ini.tmp" + dead, std::string(1000, 'x'));
    dir.Write("quib.ini.tmp" + dead + ".7", "half");
    fs::create_symlink(victim, dir / ("quib.ini.tmp" + dead + ".8"));
    // Names that only look alike, or belong to another file, stay.
    dir.Write("quib.ini.tmpx", "other");
    dir.Write("other.ini.tmp" + dead, "other");
    dir.Write("quib.ini.tmp" + std::to_string(::getpid()) + "x", "other");
    ASSERT_TRUE(WriteFileSafe(dir / "quib.ini", std::string("new")));
    EXPECT_EQ(test::ReadText(victim), "victim");
    EXPECT_EQ(Names(dir.Path()),
              (std::vector<std::string>{"other.ini.tmp" + dead, "quib.ini", "quib.ini.tmp" + std::to_string(::getpid()) + "x",
                                        "quib.ini.tmpx", "victim.txt"}));
}

// A small tmpfs: a write that does not fit reports a full disk and keeps the
// old file whole.  Mounting needs root; elsewhere the case is skipped.
TEST(WriteFileSafe, AFullDiskKeepsTheOldFile) {
    test::TempDir dir;
    fs::create_directories(dir / "small");
    if (::mount("tmpfs", (dir / "small").c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root): full-disk case not run";
    auto path = dir / "small/quib.ini";
    ASSERT_TRUE(WriteFileSafe(path, std::string(1000, 'a')));
    WriteResult written = WriteFileSafe(path, std::string(1 << 20, 'b'));
    EXPECT_FALSE(written);
    EXPECT_EQ(written.code, "DISK FULL");
    EXPECT_EQ(test::ReadText(path), std::string(1000, 'a'));
    EXPECT_EQ(Names(dir / "small"), std::vector<std::string>{"quib.ini"});
    ::umount((dir / "small").c_str());
}

}  // namespace
}  // namespace zq
