#include "results/LogWriters.h"

#include "common/TextFile.h"
#include "form/Window.h"
#include "platform/Clock.h"
#include "results/LogFileNames.h"

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QTextCursor>

namespace {
const QString kFailurePrefix = QStringLiteral("ログ書込異常: ");
}

LogWriters::LogWriters(Window& window)
    : QObject(&window.form), f(window), logView_(f.ui.LogText, kLogTextKeep), mapView_(f.ui.MapText, kMapTextKeep) {}

void LogWriters::AppendCommLog(const QString& text) {
    logView_.append(text);
    if (!f.ui.LogFile_Flg->isChecked())
        return;
    writeFile(logfiles::fileName(f.ui.LogFileHedder->text(), f.ui.LogFileName->text(), logfiles::kCommLogExt), text);
}

LogWriters::ViewsAtEnd::ViewsAtEnd(LogWriters& logs) : logs_(logs) {
    logs_.logView_.hold();
    logs_.mapView_.hold();
}

LogWriters::ViewsAtEnd::~ViewsAtEnd() {
    logs_.logView_.release();
    logs_.mapView_.release();
}

void LogWriters::AppendMapCsv(const QString& text) { appendMap(text, logfiles::kMapCsvExt); }

void LogWriters::AppendMapLog(const QString& text) { appendMap(text, logfiles::kMapLogExt); }

void LogWriters::appendMap(const QString& text, const QString& ext) {
    if (!f.ui.GPS_On->isChecked())
        return;
    mapView_.append(text);
    const QString name = logfiles::fileName(f.ui.MapFileHedder->text(), f.ui.MapFileName->text(), ext);
    // The header goes at the top of a new or empty file only.
    const QFileInfo info(logfiles::filePath(f.svc.appDir, name));
    const bool empty = !info.exists() || (info.isFile() && info.size() == 0);
    writeFile(name, empty ? logfiles::kMapHeader + text : text);
}

void LogWriters::writeFile(const QString& name, const QString& text) {
    QString reason;
    if (textfile::append(logfiles::filePath(f.svc.appDir, name), text, &reason))
        reportRecovery(name);
    else
        reportFailure(name, reason);
}

void LogWriters::reportFailure(const QString& name, const QString& reason) {
    const auto lost = failing_.find(name);
    if (lost != failing_.end()) {
        ++*lost;   // already reported; counted for the recovery line
        return;
    }
    failing_.insert(name, 1);
    qWarning().noquote() << f.svc.clock->now().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                         << "log not written:" << logfiles::filePath(f.svc.appDir, name) << "-" << reason;
    // Shown at once, naming the file; the run and the on-screen copy go on.
    if (failureShown_.isEmpty() || f.ui.Message->text() != failureShown_)
        messageBefore_ = f.ui.Message->text();
    failureShown_ = kFailurePrefix + name;
    f.ui.Message->setText(failureShown_);
}

void LogWriters::reportRecovery(const QString& name) {
    const auto lost = failing_.find(name);
    if (lost == failing_.end())
        return;
    qWarning().noquote() << f.svc.clock->now().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                         << "log written again:" << logfiles::filePath(f.svc.appDir, name) << "- writes lost:" << *lost;
    failing_.erase(lost);
    // Message goes back to what it showed (or names a file still failing),
    // unless something else has been shown there since.
    const bool ours = !failureShown_.isEmpty() && f.ui.Message->text() == failureShown_;
    if (failing_.isEmpty()) {
        if (ours) f.ui.Message->setText(messageBefore_);
        failureShown_.clear();
    } else if (ours) {
        failureShown_ = kFailurePrefix + failing_.cbegin().key();
        f.ui.Message->setText(failureShown_);
    }
}

void LogWriters::clearViews() {
    logView_.clear();
    mapView_.clear();
}
