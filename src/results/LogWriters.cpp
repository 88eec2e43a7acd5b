#include "results/LogWriters.h"

#include "common/TextFile.h"
#include "results/LogFileNames.h"
#include "shell/Form1.h"

#include <QFileInfo>
#include <QTextCursor>

LogWriters::LogWriters(Form1& form) : QObject(&form), f(form) {}

void LogWriters::AppendCommLog(const QString& text) {
    appendView(f.ui.LogText, logText_, text, kLogTextKeep);
    if (!f.ui.LogFile_Flg->isChecked())
        return;
    writeFile(logfiles::fileName(f.ui.LogFileHedder->text(), f.ui.LogFileName->text(), logfiles::kCommLogExt), text);
}

void LogWriters::AppendMapCsv(const QString& text) { appendMap(text, logfiles::kMapCsvExt); }

void LogWriters::AppendMapLog(const QString& text) { appendMap(text, logfiles::kMapLogExt); }

void LogWriters::appendMap(const QString& text, const QString& ext) {
    if (!f.ui.GPS_On->isChecked())
        return;
    appendView(f.ui.MapText, mapText_, text, kMapTextKeep);
    const QString name = logfiles::fileName(f.ui.MapFileHedder->text(), f.ui.MapFileName->text(), ext);
    // The header goes at the top of a new or empty file only.
    const QFileInfo info(logfiles::filePath(f.svc.appDir, name));
    const bool empty = !info.exists() || (info.isFile() && info.size() == 0);
    writeFile(name, empty ? logfiles::kMapHeader + text : text);
}

void LogWriters::writeFile(const QString& name, const QString& text) {
    if (textfile::append(logfiles::filePath(f.svc.appDir, name), text))
        return;
    // Shown at once, naming the file; the run and the on-screen copy go on.
    f.ui.Message->setText(QStringLiteral("ログ書込異常: ") + name);
}

void LogWriters::appendView(QPlainTextEdit* view, QString& copy, const QString& text, int keep) {
    if (view->document()->isEmpty())
        copy.clear();  // emptied on screen by someone else
    copy = logfiles::appendBounded(copy, text, keep);
    view->setPlainText(copy);
    QTextCursor caret(view->document());
    caret.movePosition(QTextCursor::End);
    view->setTextCursor(caret);
}

void LogWriters::clearViews() {
    logText_.clear();
    mapText_.clear();
    f.ui.LogText->clear();
    f.ui.MapText->clear();
}
