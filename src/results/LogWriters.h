#pragma once
// The communication log and the two map logs, on screen and on disk. Each
// call opens its file, appends, and closes it, so every file is complete on
// disk after every call. A file that cannot be written is named in the
// Message label and, with the time and the system's reason, on standard
// error; the run goes on and the on-screen copies keep every line. Once
// every failing file takes its writes again, Message shows what it showed
// before (the mode text).
//
// Every text lands whole or not at all (wholefile::append), so after a full
// disk the files go on with whole lines only. A communication-log line is
// written in pieces (a text starting with CR LF begins a line, any other
// text continues the open one): a piece whose line's start never reached
// the file is dropped with it, so no piece is ever joined to another
// packet's line; a piece that failed after its line's start landed is owed
// to that line and written, ahead of the next text, as soon as the file
// takes writes again (so the line keeps its own packet's answer).
#include <QHash>
#include <QMap>
#include <QStringList>
#include "platform/BoundedTextView.h"

#include <QObject>
#include <QString>

class Clock;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

// What the log writers touch: the two on-screen logs, Message for their
// failures; the file switches and names they read (file saving, GPS使用,
// the headers and the operator's names); the data folder and the clock.
struct LogView {
    QPlainTextEdit* LogText = nullptr;
    QPlainTextEdit* MapText = nullptr;
    QLabel* Message = nullptr;
    const QCheckBox* LogFile_Flg = nullptr;
    const QCheckBox* GPS_On = nullptr;
    const QLabel* LogFileHedder = nullptr;
    const QLineEdit* LogFileName = nullptr;
    const QLabel* MapFileHedder = nullptr;
    const QLineEdit* MapFileName = nullptr;
    Clock* clock = nullptr;
    QString appDir;
};

class LogWriters : public QObject {
    Q_OBJECT
public:
    LogWriters(const LogView& view, QObject* parent);
    void AppendCommLog(const QString& text);
    void AppendMapCsv(const QString& text);
    void AppendMapLog(const QString& text);

    // The on-screen copies exactly as built (the text boxes show their line
    // ends as line breaks, without the CR).
    const QString& commLogText() const { return logView_.text(); }
    const QString& mapText() const { return mapView_.text(); }
    // Empties LogText and MapText (the start of a new run attempt).
    void clearViews();

    // Another file of the run (the record stream, the run report) that
    // cannot be written: named in Message as a log is, until written again,
    // but without taking Message from a log failure shown there.
    void otherFileFailed(const QString& path);
    void otherFileWritten(const QString& path);

    // Lines that never reached their file whole, per path, since start-up
    // (a communication-log line whose answer half was still owed at
    // finish() counts too). Empty when every line landed.
    const QMap<QString, int>& linesLost() const { return linesLost_; }
    bool everyLineWritten() const { return linesLost_.isEmpty(); }
    // At shutdown: writes what is still owed to communication-log lines.
    void finish();

    static constexpr int kLogTextKeep = 2000;
    static constexpr int kMapTextKeep = 300;

private:
    void appendMap(const QString& text, const QString& ext);
    void appendCommLine(const QString& name, const QString& text);
    bool writeFile(const QString& name, const QString& text, int linesAtStake);
    void reportFailure(const QString& name, const QString& reason, int linesLost);
    void reportRecovery(const QString& name);
    void showFailure(const QString& name);
    void showRecovery(const QString& name);

    LogView f;
    BoundedTextView logView_;
    BoundedTextView mapView_;
    // The open line of each communication log (by file name).
    struct OpenLine {
        bool startInFile = true;  // its first piece reached the file
        QString owed;             // pieces that failed after that
    };
    QHash<QString, OpenLine> commLines_;
    QHash<QString, int> failing_;   // log file name -> lines lost since it failed
    QMap<QString, int> linesLost_;  // path -> lines lost since start-up
    QStringList shownFailing_;      // file names failing, in the order they failed
    QString failureShown_;          // the failure text put into Message
    QString messageBefore_;         // what Message showed before it
};
