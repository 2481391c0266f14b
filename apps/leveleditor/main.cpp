// leveleditor: the Qt level editor.  leveleditor [--data DIR] [FILE.lev]
#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/errors.h"
#include "editor/qt/editor_window.h"
#include "editor/qt/gl_view.h"
#include "platform/sdl_audio.h"

#ifndef ZQ_DEFAULT_DATA_DIR
#define ZQ_DEFAULT_DATA_DIR "data"
#endif

namespace {

struct EditorArgs {
    std::string dataDir = ZQ_DEFAULT_DATA_DIR;
    std::string file;
    bool help = false;
    std::string error;
};

// The editor's whole command line, in one place so it can follow the games'.
// Read before Qt starts, so --help works without a display.
EditorArgs ParseEditorArgs(int argc, char** argv) {
    EditorArgs out;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--data") {
            if (i + 1 >= argc) {
                out.error = "--data needs a folder";
                return out;
            }
            out.dataDir = argv[++i];
        } else if (a == "--help" || a == "-h") {
            out.help = true;
        } else if (a.size() > 1 && a[0] == '-') {
            out.error = "unknown option " + a;
            return out;
        } else if (out.file.empty()) {
            out.file = a;
        } else {
            out.error = "only one level file can be opened";
            return out;
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const EditorArgs args = ParseEditorArgs(argc, argv);
    if (args.help || !args.error.empty()) {
        if (!args.error.empty()) std::fprintf(stderr, "leveleditor: %s\n", args.error.c_str());
        std::fprintf(args.help ? stdout : stderr, "usage: leveleditor [--data DIR] [FILE.lev]\n");
        return args.help ? 0 : 2;
    }
    zq::UseCompatibilityGl();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Level editor");
    zq::EditorOptions options;
    options.dataDir = args.dataDir;
    options.file = args.file;
    options.settingsFile = zq::EditorSettingsPath(std::filesystem::current_path());
    options.programDir = QCoreApplication::applicationDirPath().toStdString();
    auto audio = zq::OpenAudio(zq::DataResolver(options.dataDir));
    try {
        zq::TScreenForm window(options, *audio, zq::MakeQtDialogs());
        window.show();
        window.StartUp();
        return app.exec();
    } catch (const zq::FatalError& e) {
        QMessageBox::critical(nullptr, "Level editor", QString::fromStdString(e.what()));
        return 1;
    }
}
