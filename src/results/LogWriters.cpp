#include "results/LogWriters.h"

#include "common/TextFile.h"
#include "platform/Clock.h"
#include "results/LogFileNames.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace {
const QString kFailurePrefix = QStringLiteral("ログ書込異常: ");
const QString kCrLf = QStringLiteral("\r\n");
}

LogWriters::LogWriters(const LogView& view, QObject* parent)
    : QObject(parent), f(view), logView_(f.LogText, kLogTextKeep), mapView_(f.MapText, kMapTextKeep) {}

void LogWriters::AppendCommLog(const QString& text) {
    logView_.append(text);
    if (!f.LogFile_Flg->isChecked())
        return;
    appendCommLine(logfiles::fileName(f.LogFileHedder->text(), f.LogFileName->text(), logfiles::kCommLogExt), text);
}

void LogWriters::appendCommLine(const QString& name, const QString& text) {
    OpenLine& line = commLines_[name];
    const bool begins = text.startsWith(kCrLf);
    if (!begins && !line.startInFile)
        return;   // its line is not in the file: lost with it (counted there)
    // What is owed to the line in the file goes first: it ends that line
    // before this text begins or continues one.
    const QString bytes = line.owed + text;
    if (writeFile(name, bytes, begins ? 1 : 0)) {
        line.owed.clear();
        line.startInFile = true;
    } else if (begins) {
        line.startInFile = false;   // this line is lost; the one in the file still waits for what it is owed
    } else {
        line.owed = bytes;
    }
}

void LogWriters::finish() {
    for (auto it = commLines_.begin(); it != commLines_.end(); ++it) {
        if (it->owed.isEmpty())
            continue;
        if (writeFile(it.key(), it->owed, 0))
            it->owed.clear();
        else
            ++linesLost_[logfiles::filePath(f.appDir, it.key())];   // a line left without its answer half
    }
}

void LogWriters::AppendMapCsv(const QString& text) { appendMap(text, logfiles::kMapCsvExt); }

void LogWriters::AppendMapLog(const QString& text) { appendMap(text, logfiles::kMapLogExt); }

void LogWriters::appendMap(const QString& text, const QString& ext) {
    if (!f.GPS_On->isChecked())
        return;
    mapView_.append(text);
    const QString name = logfiles::fileName(f.MapFileHedder->text(), f.MapFileName->text(), ext);
    // The header goes at the top of a new or empty file only.
    const QFileInfo info(logfiles::filePath(f.appDir, name));
    const bool empty = !info.exists() || (info.isFile() && info.size() == 0);
    writeFile(name, empty ? logfiles::kMapHeader + text : text, 1);
}

bool LogWriters::writeFile(const QString& name, const QString& text, int linesAtStake) {
    QString reason;
    const QString path = logfiles::filePath(f.appDir, name);
    if (textfile::append(path, text, &reason)) {
        reportRecovery(name);
        return true;
    }
    if (linesAtStake > 0)
        linesLost_[path] += linesAtStake;
    reportFailure(name, reason, linesAtStake);
    return false;
}

void LogWriters::reportFailure(const QString& name, const QString& reason, int linesLost) {
    const auto lost = failing_.find(name);
    if (lost != failing_.end()) {
        *lost += linesLost;   // already reported; counted for the recovery line
        return;
    }
    failing_.insert(name, linesLost);
    qWarning().noquote() << f.clock->now().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                         << "log not written:" << logfiles::filePath(f.appDir, name) << "-" << reason;
    showFailure(name);
}

void LogWriters::otherFileFailed(const QString& path) {
    // A log's failure shown stays shown (Message names the logs as it
    // always has); the other file is named once no log failure is.
    const QString name = QFileInfo(path).fileName();
    if (!failureShown_.isEmpty() && f.Message->text() == failureShown_) {
        if (!shownFailing_.contains(name))
            shownFailing_.prepend(name);
        return;
    }
    showFailure(name);
}

void LogWriters::otherFileWritten(const QString& path) { showRecovery(QFileInfo(path).fileName()); }

void LogWriters::showFailure(const QString& name) {
    if (shownFailing_.contains(name))
        return;
    shownFailing_.append(name);
    // Shown at once, naming the file; the run and the on-screen copy go on.
    if (failureShown_.isEmpty() || f.Message->text() != failureShown_)
        messageBefore_ = f.Message->text();
    failureShown_ = kFailurePrefix + name;
    f.Message->setText(failureShown_);
}

void LogWriters::reportRecovery(const QString& name) {
    const auto lost = failing_.find(name);
    if (lost == failing_.end())
        return;
    qWarning().noquote() << f.clock->now().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                         << "log written again:" << logfiles::filePath(f.appDir, name) << "- lines lost:" << *lost;
    failing_.erase(lost);
    showRecovery(name);
}

void LogWriters::showRecovery(const QString& name) {
    if (!shownFailing_.removeOne(name))
        return;
    // Message goes back to what it showed (or names a file still failing),
    // unless something else has been shown there since.
    const bool ours = !failureShown_.isEmpty() && f.Message->text() == failureShown_;
    if (shownFailing_.isEmpty()) {
        if (ours) f.Message->setText(messageBefore_);
        failureShown_.clear();
    } else if (ours) {
        failureShown_ = kFailurePrefix + shownFailing_.constLast();
        f.Message->setText(failureShown_);
    }
}

void LogWriters::clearViews() {
    logView_.clear();
    mapView_.clear();
}
