#pragma once
// Options on the program's command line for unattended use (the demo, a
// scripted field check): which ports to fill in, whether to log, and a run
// to start once the window is up. Nothing here is needed for normal use:
// without options the window starts exactly as the operator left it, and
// the values given here are for this start only (the settings file keeps
// the operator's own).
#include "records/Exchange.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class SettingsFile;
class RunControl;
namespace analysis {
class RunRecorder;
}

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
    bool analysis = false;     // --analysis: the analysis window opens beside the main one
    bool jsonlStdout = false;  // --jsonl -: every run's records on standard output
    // --open FILE...: recorded runs (record streams, communication logs) in
    // an analysis window of their own, no main window and no run.
    QStringList openFiles;

    QString usage;        // the --help text, for a refusal

    bool runRequested() const { return count > 0 || start; }
    bool viewing() const { return !openFiles.isEmpty(); }
    // Nobody may be there to answer a question: a run was asked for.
    bool unattended() const { return runRequested() || quit; }

    // Parses the arguments; on a bad value, an unknown option or a stray
    // argument returns false with the reason (usage then holds the --help
    // text).
    bool parse(const QStringList& arguments, QString* error);
};

// What an unattended start fills in and presses: the port boxes, the GPS
// speed and switch, file saving and the log names, the run length and the
// run buttons; Message (read) for a log that failed; the window itself for
// the screenshot and the close.
struct StartView {
    QWidget* form = nullptr;
    QLineEdit* Com_Port = nullptr;
    QLineEdit* GPS_Port = nullptr;
    QComboBox* GPS_Baudrate = nullptr;
    QCheckBox* GPS_On = nullptr;
    QCheckBox* LogFile_Flg = nullptr;
    QLineEdit* LogFileName = nullptr;
    QLineEdit* MapFileName = nullptr;
    QLineEdit* Tx_CnEnd = nullptr;
    std::array<QPushButton*, 2> TestStartSW{};
    const QLabel* Message = nullptr;
};

// Applies the options to a shown window and follows a counted run through
// the run control's runStarted and runEnded, to take the screenshot and
// close the window when it has ended. With --quit the coverage map's
// picture is left beside the logs (<log>.map.png) and the run report is
// printed too (on standard output, or standard error while the records
// stream there).
class StartDriver : public QObject {
    Q_OBJECT
public:
    StartDriver(const StartView& view, QObject* parent, SettingsFile& settings, RunControl& run, analysis::RunRecorder& recorder,
                std::function<void()> showAnalysis, std::function<void()> saveMapPicture,
                const StartOptions& options);

    // The program's exit status for the options: 0 unless a counted run was
    // asked for and did not start and send all its packets, or a file it
    // wrote (a log, the record stream, the run report) was not written
    // whole; then 1, and one line on standard error for each kind of
    // failure, in the window's own words where it has them. (Asked at the
    // end; a run that never ended is reported here.)
    int exitStatus();

private:
    void apply();
    void runStarted(const records::RunStart& start);
    void runEnded(const records::RunEnd& end);
    void finish();
    void report(const QString& why);
    // Files the program failed to write whole, as the window and the
    // recorder tell it (Message naming a log, the recorder's failures).
    void noteFileFailures(const QString& path = QString());

    StartView f;
    SettingsFile& settings_;
    RunControl& run_;
    std::function<void()> showAnalysis_;
    std::function<void()> saveMapPicture_;
    StartOptions opt;
    bool watching_ = false;   // the requested counted run has been started
    bool started_ = false;
    bool ended_ = false;
    int status_ = 0;
    QStringList failedFiles_;
};
