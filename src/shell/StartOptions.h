#pragma once
// Options on the program's command line for unattended use (the demo, a
// scripted field check): which ports to fill in, whether to log, and a run
// to start once the window is up. Nothing here is needed for normal use:
// without options the window starts exactly as the operator left it.
#include <QObject>
#include <QString>
#include <QStringList>

class Form1;
class QTimer;

struct StartOptions {
    QString radioPort;    // --port: written into Com_Port
    QString gpsPort;      // --gps-port: written into GPS_Port, GPS switched on
    QString gpsBaud;      // --gps-baud: chosen in GPS_Baudrate
    QString logName;      // --log: file saving on, communication and map log names
    int count = 0;        // --count N: a counted run of N packets
    bool start = false;   // --start: a continuous run
    QString screenshot;   // --screenshot FILE: the window as a PNG when the run ends
    bool quit = false;    // --quit: close the window when the run ends
    QString dataDir;      // --data-dir DIR: settings and logs there (DataFolder)

    bool runRequested() const { return count > 0 || start; }

    // Parses the arguments; on a bad value returns false with the reason.
    bool parse(const QStringList& arguments, QString* error);
};

// Applies the options to a shown window and, for a run that ends by itself,
// watches it to take the screenshot and close the window afterwards.
class StartDriver : public QObject {
    Q_OBJECT
public:
    StartDriver(Form1& form, const StartOptions& options);

    // 0 when the requested run started and ended; 1 when it never started.
    int outcome() const { return outcome_; }

private:
    void apply();
    void watch();
    void finish(bool ran);

    Form1& f;
    StartOptions opt;
    QTimer* poll_ = nullptr;
    bool seenRunning_ = false;
    int idlePolls_ = 0;
    int outcome_ = 0;
};
