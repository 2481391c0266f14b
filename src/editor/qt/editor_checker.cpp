// The level checker in the background: after Save and F9 the problem list
// runs `zqtool check-level` on a copy of the level in a process of its own,
// lists its verdict or the dead ends it found, and plays a dead end in the
// game on a double-click.
#include "editor/qt/editor_window.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cmath>
#include <system_error>

#include <unistd.h>

#include "core/file_io.h"
#include "editor/editing.h"

namespace zq {

namespace {

// The checker's budget: what a campaign level is decided in on one core.
constexpr int kCheckSeconds = 120;
// After a dead end's moves the game goes on this long with no key held
// (40 ms frames), so the designer sees the hero stuck or the clock run out.
constexpr int kWatchFrames = 500;

QString LastLine(const QByteArray& text) {
    const QStringList lines = QString::fromUtf8(text).trimmed().split('\n');
    return lines.isEmpty() ? QString() : lines.back().trimmed();
}

}  // namespace

void TScreenForm::StopChecker() {
    if (!checker_) return;
    checker_->disconnect(this);
    checker_->kill();
    checker_->waitForFinished(5000);
    delete checker_;
    checker_ = nullptr;
}

void TScreenForm::CancelCheck() {
    StopChecker();
    if (checkLines_.empty()) return;
    checkLines_.clear();
    RedrawProblemList();
}

void TScreenForm::StartCheck(const std::filesystem::path& level) {
    namespace fs = std::filesystem;
    StopChecker();  // a new save makes the old verdict moot
    checkLines_.clear();
    auto fail = [this](const QString& text) {
        checkLines_.push_back({text, {}, std::nullopt, true});
        RedrawProblemList();
    };
    std::string why;
    if (!MakeTestFolder(why)) return fail(QString::fromStdString(why));
    const fs::path tool = FindProgram({"zqtool", "zorvoquib-tool"}, {"zorvoquib-tool"});
    if (tool.empty())
        return fail("No level checker (zqtool or zorvoquib-tool) was found beside the editor or on the PATH.");
    // The checker reads a copy of its own: the dead ends' scripts are played
    // on the very level they were found in, whatever is saved or tested next.
    const fs::path copy = testFolder_ / "CHECK.lev";
    std::error_code ec;
    fs::copy_file(level, copy, fs::copy_options::overwrite_existing, ec);
    if (ec) return fail(QString::fromStdString("The level could not be copied for the checker: " + ec.message()));
    fs::remove(testFolder_ / "CHECK.scp", ec);
    fs::path script = level;
    script.replace_extension(".scp");
    if (auto found = data_.FindGiven(script.string())) {
        fs::copy_file(*found, testFolder_ / "CHECK.scp", fs::copy_options::overwrite_existing, ec);
        if (ec) return fail(QString::fromStdString("The level's script could not be copied for the checker: " + ec.message()));
    }

    checker_ = new QProcess(this);
    checker_->setProgram(QString::fromStdString(tool.string()));
    checker_->setArguments({"check-level", QString::fromStdString(copy.string()), "--data",
                            QString::fromStdString(fs::absolute(options_.dataDir).string()), "--seconds",
                            QString::number(kCheckSeconds)});
    // The search takes whole cores for up to two minutes: below the editor,
    // so the window keeps its speed.
    checker_->setChildProcessModifier([] { (void)::nice(10); });
    connect(checker_, &QProcess::finished, this,
            [this](int code, QProcess::ExitStatus status) { CheckFinished(code, status == QProcess::CrashExit); });
    connect(checker_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) CheckFinished(-1, true);
    });
    checkLines_.push_back({"Checking whether the level can be won ...",
                           QString("zqtool check-level plays every state of the level in the background (at most %1 s).")
                               .arg(kCheckSeconds),
                           std::nullopt, false});
    RedrawProblemList();
    checker_->start();
}

void TScreenForm::CheckFinished(int exitCode, bool crashed) {
    if (!checker_) return;
    const QByteArray out = checker_->readAllStandardOutput();
    const QByteArray err = checker_->readAllStandardError();
    const QString failure = checker_->error() == QProcess::FailedToStart ? checker_->errorString() : LastLine(err);
    checker_->disconnect(this);
    checker_->deleteLater();  // we are inside its signal
    checker_ = nullptr;
    checkLines_.clear();
    auto add = [this](const QString& text, const QString& tip = {}, bool warning = true) {
        checkLines_.push_back({text, tip, std::nullopt, warning});
    };

    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(out, &parseError);
    const QJsonObject r = doc.object();
    if (crashed || parseError.error != QJsonParseError::NoError || !doc.isObject() || exitCode < 0 || exitCode > 4) {
        add("The level checker failed" + (failure.isEmpty() ? QString(".") : ": " + failure));
    } else if (r.contains("refused")) {
        add("The level checker refused the level: " + r["refused"].toString());
    } else {
        const QString effort = QString("%1 states tried in %2 s%3.")
                                   .arg(r["states"].toInteger())
                                   .arg(r["seconds"].toDouble(), 0, 'f', 1)
                                   .arg(r["complete"].toBool() ? ", every one within reach" : "");
        const QJsonValue winnable = r["winnable"];
        if (winnable.isBool() && winnable.toBool()) {
            const auto seconds = std::lround(r["solutionSeconds"].toDouble());
            add(QString("WINNABLE IN %1 S OF PLAY").arg(seconds), "The checker's way to the exit. " + effort, false);
            if (r["needsTiming"].toBool())
                add("A sentry caught the hero on the checker's way: the way needs timing.");
            if (r.contains("replayProblem"))
                add("The checker's way did not replay to the exit: " + r["replayProblem"].toString());
        } else if (winnable.isBool()) {
            add("NOT WINNABLE", "No state within reach leads to the exit. " + effort);
        } else {
            add("UNDECIDED", r["clockBeatTheSearch"].toBool()
                                 ? "The clock ended every way the checker found; a faster player may still win. " + effort
                                 : QString("No way to the exit was found within %1 s. ").arg(kCheckSeconds) + effort);
        }
        for (const QJsonValue& d : r["deadEnds"].toArray()) {
            const QJsonObject deadEnd = d.toObject();
            checkLines_.push_back({"DEAD END (" + deadEnd["kind"].toString() + "): " + deadEnd["why"].toString(),
                                   "Double-click to watch it in the game: the moves that lead into it, from the start.",
                                   deadEnd["script"].toString().toStdString(), true});
        }
        if (winnable.isBool() && !r["complete"].toBool())
            add(QString("Dead ends UNDECIDED: not every state was tried within %1 s.").arg(kCheckSeconds), effort);
    }
    RedrawProblemList();
    const QString verdict = checkLines_.empty() ? QString() : checkLines_.front().text;
    Say(state_, "Level check: " + verdict.toStdString());
    RefreshPanel();
}

std::optional<TScreenForm::TestRun> TScreenForm::DeadEndRun(std::size_t index, std::string& why) {
    namespace fs = std::filesystem;
    const CheckLine* found = nullptr;
    std::size_t seen = 0;
    for (const CheckLine& line : checkLines_)
        if (line.deadEndScript && seen++ == index) found = &line;
    if (!found) {
        why = "No such dead end: check the level again (Save or F9).";
        return std::nullopt;
    }
    if (!MakeTestFolder(why)) return std::nullopt;
    std::string script = *found->deadEndScript;
    if (!script.empty() && script.back() != '\n') script += '\n';
    script += "# then no key, so the trap can be watched\n" + std::to_string(kWatchFrames) + "x 40 -\n";
    const fs::path input = testFolder_ / "DEADEND.txt";
    if (const WriteResult written = WriteFileSafe(input, script); !written) {
        why = "The dead end's moves could not be written (" + written.code + "): " + written.reason;
        return std::nullopt;
    }
    TestRun run;
    run.level = testFolder_ / "CHECK.lev";
    run.program = FindGame();
    if (run.program.empty()) {
        why = "No game program (game_gl, game_soft, zorvoquib-gl or zorvoquib) was found beside the editor or on the PATH.";
        return std::nullopt;
    }
    run.arguments << "--data" << QString::fromStdString(fs::absolute(options_.dataDir).string()) << "--level"
                  << QString::fromStdString(run.level.string()) << "--input" << QString::fromStdString(input.string());
    return run;
}

void TScreenForm::PlayDeadEnd(std::size_t index) {
    std::string why;
    auto run = DeadEndRun(index, why);
    if (!run) return dialogs_->ShowWarning(this, why);
    if (!QProcess::startDetached(QString::fromStdString(run->program.string()), run->arguments))
        return dialogs_->ShowWarning(this, "The game " + run->program.string() + " could not be started.");
    Say(state_, "Playing the dead end's moves with " + run->program.filename().string() + ".");
}

}  // namespace zq
