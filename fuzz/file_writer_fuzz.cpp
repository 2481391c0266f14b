// The safe writer against a folder an attacker prepared: the input plants
// files, links (to a bait file outside, to each other, in loops), folders and
// temporary-looking names, sets modes, and can cap the file size so the write
// fails part way.  Whatever happens, nothing but the target is written, a refused
// write leaves the target as it was with no temporary file of ours, and a
// write that reports success has put exactly the data into the link's final
// file with its old mode.  The bait changes only when the target's own links
// lead to it.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "core/file_io.h"
#include "fuzz_util.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    auto bytes = zq::ReadFileBytes(p, zq::kMaxMediaFileBytes);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<none>");
}

mode_t ModeOf(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_mode : 0;
}

bool HasOwnTemp(const fs::path& folder) {
    const std::string own = ".tmp" + std::to_string(::getpid());
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.path().filename().string().find(own) != std::string::npos) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace zq;
    static const bool ignored = [] {
        ::signal(SIGXFSZ, SIG_IGN);  // a capped write fails with EFBIG instead of ending the process
        return true;
    }();
    (void)ignored;
    const fs::path root = fuzz::ScratchFolder() / "writer";
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::create_directories(root / "data");
    fs::create_directories(root / "outside");
    const fs::path bait = root / "outside/bait";
    { std::ofstream(bait) << "bait"; }
    const fs::path target = root / "data/quib.ini";
    const char* const names[] = {"quib.ini", "other", "quib.ini.tmp1", "quib.ini.tmp99999999", "sub"};
    const std::string own = "quib.ini.tmp" + std::to_string(::getpid());

    // Each pair of bytes: an action and its operand.
    std::size_t at = 0;
    rlim_t cap = RLIM_INFINITY;
    for (; at + 1 < size && at < 32; at += 2) {
        const fs::path name = root / "data" / names[bytes[at + 1] % 5];
        const fs::path ownTemp = root / "data" / (own + (bytes[at + 1] & 8 ? ".1" : ""));
        switch (bytes[at] % 9) {
            case 0: std::ofstream(name) << "old" << int(bytes[at + 1]); break;
            case 1: fs::create_symlink(bait, name, ec); break;
            case 2: fs::create_symlink(names[(bytes[at + 1] >> 3) % 5], name, ec); break;
            case 3: fs::create_directories(name, ec); break;
            case 4: ::chmod(name.c_str(), (bytes[at + 1] & 1 ? 0444 : 0600) | (bytes[at + 1] & 2 ? 0040 : 0)); break;
            case 5: fs::create_symlink(bait, ownTemp, ec); break;
            case 6: std::ofstream(ownTemp) << "half"; break;
            case 7: cap = static_cast<rlim_t>(bytes[at + 1]); break;
            default: fs::remove(name, ec); break;
        }
    }
    const std::string data(reinterpret_cast<const char*>(bytes + at), size - at);
    // The setup above may itself have written through a link to the bait.
    { std::ofstream(bait, std::ios::trunc) << "bait"; }

    const auto final = FinalWriteTarget(target);
    const fs::path landing = final ? *final : target;
    // The writer follows the target's links by design (the data folder's
    // resolver is what keeps them inside); only then may the bait change.
    const bool aimsAtBait = final && fs::weakly_canonical(*final, ec) == fs::weakly_canonical(bait, ec);
    const bool wasLink = fs::is_symlink(target);
    const std::string before = ReadAll(landing);
    const mode_t modeBefore = ModeOf(landing);
    const bool ownTempBefore = HasOwnTemp(root / "data");

    rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = cap;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    const WriteResult written = WriteFileSafe(target, data);
    ::setrlimit(RLIMIT_FSIZE, &old);

    if (!aimsAtBait) fuzz::Check(ReadAll(bait) == "bait", "nothing but the target's final file is written");
    fuzz::Check(written.ok == written.code.empty(), "a failure always has a code, a success none");
    if (written) {
        fuzz::Check(ReadAll(landing) == data, "a reported save holds exactly the data");
        if (modeBefore != 0 && S_ISREG(modeBefore))
            fuzz::Check((ModeOf(landing) & 07777) == (modeBefore & 07777), "the old file's mode is kept");
        fuzz::Check(!wasLink || fs::is_symlink(target), "a link stays a link");
    } else {
        fuzz::Check(ReadAll(landing) == before, "a refused save leaves the target as it was");
    }
    // Our own temporary files go, except names someone else planted before the write.
    if (!ownTempBefore) fuzz::Check(!HasOwnTemp(root / "data"), "no temporary file of ours is left");
    fs::remove_all(root, ec);
    return 0;
}
