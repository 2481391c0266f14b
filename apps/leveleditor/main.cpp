// leveleditor: the Qt level editor.  leveleditor [--data DIR] [FILE.lev]
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "core/command_line.h"
#include "core/data_dir.h"
#include "core/errors.h"
#include "editor/qt/editor_window.h"
#include "editor/qt/gl_view.h"
#include "platform/mpv_video.h"
#include "platform/sdl_audio.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr const char* kDesktopId = "org.zorvoquib.editor";

struct EditorArgs {
    std::optional<std::string> dataArg;
    std::string file;
};

// The editor's command line, in the same table form as the games': --data,
// one optional level file, --help and --version.  Read before Qt starts, so
// --help works without a display.
zq::CommandLineRules EditorCommandLine(const std::string& program, EditorArgs& out) {
    zq::CommandLineRules rules;
    rules.program = program;
    rules.installedName = "zorvoquib-editor";
    rules.summary = "The Zorvo Quib level editor.";
    rules.positionalUsage = "[FILE.lev]";
    rules.options.push_back({"--data", "DIR", "the data folder", [&out](const std::string& v) -> std::optional<std::string> {
                                 out.dataArg = v;
                                 return std::nullopt;
                             }});
    rules.positional = [&out](const std::string& arg, int) -> std::optional<std::string> {
        if (!out.file.empty()) return "only one level file can be opened";
        out.file = arg;
        return std::nullopt;
    };
    rules.footer =
        "FILE.lev opens as File > Load does.  Without --data the data folder is $ZQ_DATA,\n"
        "else \"data\" beside the program, else ../share/zorvoquib from the program's folder.\n";
    rules.manSections = {
        {"KEYS",
         {{"Arrows", "move the cursor one cell, or turn (held: repeats after half a second)"},
          {"Page Up, Page Down", "tilt the view"},
          {"Ctrl+Left, Ctrl+Right", "step sideways"},
          {"Space, Delete", "put the current object in the cursor's cell, empty it"},
          {"Ctrl+Z, Ctrl+Y", "undo, redo"},
          {"Ctrl+S", "save"},
          {"Shift+arrows", "draw the box from point A to point B"},
          {"Ctrl+C, Ctrl+X, Ctrl+V", "copy, cut, paste the box (also between two editor windows)"},
          {"Ctrl+M, Ctrl+R, Ctrl+H, Ctrl+J", "move the box to the cursor, turn it a quarter, mirror it left-right, front-back"},
          {"F4", "flood-fill the cursor's layer"},
          {"I, Ctrl+F", "take the object under the cursor, search the object palette"},
          {"F2, F3, F11", "the object palette, the layer view, the undo history"},
          {"F9, Shift+F9", "play the level in the game from its start, from the cursor"},
          {"F1", "the keys on one page (Help > Help pages: the pages)"}}},
        {"FILES",
         {{"NAME.lev, NAME.scp", "a level and its behaviour script"},
          {"NAME.lev.recover", "unsaved work written when the editor is ended by SIGTERM or Ctrl+C, offered at the next open"},
          {"leveleditor.ini", "the editor's settings and recent files: in the folder the editor starts in when it is there and "
                              "writable, else $XDG_CONFIG_HOME/zorvoquib/leveleditor.ini (~/.config by default)"}}},
        {"ENVIRONMENT",
         {{"ZQ_DATA", "the data folder, when --data is not given"},
          {"XDG_CONFIG_HOME", "where the settings folder zorvoquib/ lies (default ~/.config)"},
          {"DISPLAY", "the X display the window opens on"}}},
    };
    return rules;
}

// SIGTERM and Ctrl+C reach the Qt loop through a pipe: the handler only
// writes the signal's number, and the loop saves the unsaved work and quits.
int gSignalPipe[2] = {-1, -1};

void OnStopSignal(int signal) {
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &number, 1);
}

bool CatchStopSignals() {
    if (::pipe(gSignalPipe) != 0) return false;
    for (int fd : gSignalPipe) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

// Qt ends the program with an abort when it finds no display; say so in one line first.
bool DisplayAvailable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return true;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

// The editor's icon from the desktop theme, else from the icons the build
// generated beside the data folder (build tree and installed share alike).
QIcon EditorIcon(const std::filesystem::path& dataDir) {
    QIcon icon = QIcon::fromTheme(kDesktopId);
    if (!icon.isNull()) return icon;
    for (const char* size : {"16x16", "32x32", "48x48", "64x64", "128x128", "256x256"}) {
        const std::filesystem::path file =
            (dataDir / "..").lexically_normal() / "icons/hicolor" / size / "apps" / (std::string(kDesktopId) + ".png");
        std::error_code ec;
        if (std::filesystem::is_regular_file(file, ec)) icon.addFile(QString::fromStdString(file.string()));
    }
    return icon;
}

}  // namespace

int main(int argc, char** argv) {
    EditorArgs args;
    const std::string program = zq::ProgramName(argc, argv, "leveleditor");
    const zq::CommandLineRules rules = EditorCommandLine(program, args);
    const zq::CommandLineResult parsed = zq::ParseCommandLine(rules, zq::ArgumentList(argc, argv));
    if (const int code = zq::ReportCommandLine(rules, parsed); code >= 0) return code;
    const zq::DataDirSearch search = zq::FindDataDir(args.dataArg, zq::ProgramPath(argc > 0 ? argv[0] : nullptr));
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "%s: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); the editor needs a desktop session\n", program.c_str());
        return 1;
    }
    zq::UseCompatibilityGl();
    // The desktop matches the window to its menu entry by WM_CLASS: Qt takes
    // the instance part from RESOURCE_NAME and the class from the application name.
    setenv("RESOURCE_NAME", kDesktopId, 0);
    QApplication app(argc, argv);
    QApplication::setApplicationName(kDesktopId);
    // No display name: Qt would add it to every window title ("... — Level editor").
    QGuiApplication::setDesktopFileName(kDesktopId);
    zq::EditorOptions options;
    if (!search.found || !zq::IsDataDir(*search.found)) {
        const std::string why = search.found ? zq::NoGameDataMessage(*search.found) : search.NotFoundMessage();
        std::fprintf(stderr, "%s: %s\n", program.c_str(), why.c_str());
        QMessageBox::critical(nullptr, "Level editor", QString::fromStdString(why));
        return 1;
    }
    options.dataDir = search.found->string();
    QApplication::setWindowIcon(EditorIcon(*search.found));
    options.file = args.file;
    options.settingsFile = zq::EditorSettingsPath(std::filesystem::current_path());
    options.programDir = QCoreApplication::applicationDirPath().toStdString();
    // SDL would otherwise take SIGTERM and SIGINT for itself once sound is open.
    ::setenv("SDL_NO_SIGNAL_HANDLERS", "1", 1);
    auto audio = zq::OpenAudio(zq::DataResolver(options.dataDir));
    const bool stopSignalsCaught = CatchStopSignals();
    try {
        zq::TScreenForm window(options, *audio, zq::MakeQtDialogs());
        window.SetVideoPlayer(zq::OpenMpvVideo(false));
        window.show();
        window.StartUp();
        std::unique_ptr<QSocketNotifier> stop;
        if (stopSignalsCaught) {
            stop = std::make_unique<QSocketNotifier>(gSignalPipe[0], QSocketNotifier::Read);
            QObject::connect(stop.get(), &QSocketNotifier::activated, [&window, &program] {
                unsigned char number = 0;
                if (::read(gSignalPipe[0], &number, 1) != 1) return;
                if (window.WriteRecovery())
                    std::fprintf(stderr, "%s: stopped; unsaved work kept in %s\n", program.c_str(),
                                 window.State().fileName.empty() ? "untitled.lev.recover in the settings folder"
                                                                 : (window.State().fileName + ".recover").c_str());
                QApplication::exit(128 + number);
            });
        }
        return app.exec();
    } catch (const zq::FatalError& e) {
        QMessageBox::critical(nullptr, "Level editor", QString::fromStdString(e.what()));
        return 1;
    }
}
