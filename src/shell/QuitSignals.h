#pragma once
// Ends the program in order on SIGTERM, SIGINT and SIGHUP (kill, Ctrl+C,
// logout or shutdown): the signal handler only writes the signal's number
// to a pipe, and a socket notifier on its other end tells the window's
// thread, which closes the window as the close button does (the run
// stopped and reported, settings saved, ports and their locks released).
// A second such signal, while that close is still going on, ends the
// program at once as usual. SIGPIPE is ignored: a closed pipe on standard
// output is a failed write the program reports, not its end.
#include <QObject>

#include <functional>

class QSocketNotifier;

class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // "SIGTERM" and so on.
    static QString name(int signo);

    // The toolkit ends the program with exit() when it loses the display
    // (the X server gone: "The X11 connection broke"). While armed, such an
    // exit first runs close (once), so the run still ends in order; the
    // exit status stays the toolkit's. Disarmed after the event loop.
    static void armExitClose(std::function<void()> close);
    static void disarmExitClose();

signals:
    // On the thread of this object's event loop, once.
    void received(int signo);

private:
    void readPipe();
    QSocketNotifier* notifier_ = nullptr;
    bool told_ = false;
};
