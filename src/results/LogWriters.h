#pragma once
// The communication log and the two map logs, on screen and on disk. Each
// call opens its file, appends, and closes it, so every file is complete on
// disk after every call. A file that cannot be written is named in the
// Message label and, with the time, on standard error; the run goes on and
// the on-screen copies keep every line. Once every failing file takes its
// writes again, Message shows what it showed before (the mode text).
#include <QHash>
#include "platform/BoundedTextView.h"

#include <QObject>
#include <QString>

struct Window;
class QPlainTextEdit;

class LogWriters : public QObject {
    Q_OBJECT
public:
    explicit LogWriters(Window& window);
    void AppendCommLog(const QString& text);
    void AppendMapCsv(const QString& text);
    void AppendMapLog(const QString& text);

    // The on-screen copies exactly as built (the text boxes show their line
    // ends as line breaks, without the CR).
    const QString& commLogText() const { return logView_.text(); }
    const QString& mapText() const { return mapView_.text(); }
    // Empties LogText and MapText (the start of a new run attempt).
    void clearViews();

    // For as long as it lives, the files are written at every call as
    // always, while LogText and MapText gather what they are given and show
    // it at the end in one append each (a step's two log halves are laid
    // out once, after its packet went out).
    class ViewsAtEnd {
    public:
        explicit ViewsAtEnd(LogWriters& logs);
        ~ViewsAtEnd();
        ViewsAtEnd(const ViewsAtEnd&) = delete;
        ViewsAtEnd& operator=(const ViewsAtEnd&) = delete;

    private:
        LogWriters& logs_;
    };

    static constexpr int kLogTextKeep = 2000;
    static constexpr int kMapTextKeep = 300;

private:
    void appendMap(const QString& text, const QString& ext);
    void writeFile(const QString& name, const QString& text);
    void reportFailure(const QString& name, const QString& reason);
    void reportRecovery(const QString& name);

    Window& f;
    BoundedTextView logView_;
    BoundedTextView mapView_;
    QHash<QString, int> failing_;   // file name -> writes lost since it failed
    QString failureShown_;          // the failure text put into Message
    QString messageBefore_;         // what Message showed before it
};
