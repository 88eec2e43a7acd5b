#pragma once
// The main window. It owns the controls (Form1.ui), the shared instance
// variables (FormState), the two serial ports, the four timers and one
// object per subsystem; the subsystems hold the handlers and procedures.
// Each subsystem is built with its own view (declared in its header): the
// controls, shared variables, ports, timers and services it may touch and
// nothing else, filled in PartViews.cpp; so no part sees the form itself
// and none can call a sibling: a part is handed the lower parts it uses,
// and tells the parts above it what happened through signals. Every
// handler and signal is connected in wireParts(), the analysis side in
// wireAnalysis().
#include "form/FormFacts.h"
#include "form/FormState.h"
#include "platform/Services.h"
#include "ui_Form1.h"

#include <QWidget>
#include <array>
#include <memory>

class QLabel;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class SerialPort;
class Timer;

struct FieldRulesView;
struct SettingsView;
struct StartView;
struct DatumView;
struct GgaView;
struct InitView;
struct LogView;
struct GpsView;
struct PortView;
struct RadioView;
struct SoundsView;
struct RunView;
struct CycleView;
class SettingsFile;
class StartDriver;
struct StartOptions;
class FieldRules;
class PortSelection;
class RadioChannel;
class GpsChannel;
class InitSequence;
class RunControl;
class TestCycle;
class ResultSounds;
class LogWriters;
class GgaProcessor;
class DatumPoint;
namespace analysis {
class RunRecorder;
class AlarmEffects;
class AnalysisWindow;
}

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(const Services& services, QWidget* parent = nullptr);
    ~Form1() override;

    // Shutdown sequence (close ports, write settings). Runs once per close;
    // also callable by tests.
    void Form_Unload();

    // True once some file the program was asked to write was not written
    // whole: a log, map log, record stream or run report line lost, the
    // settings file not saved at shutdown, a datum file not saved. Read it
    // after the window has closed for the whole story (the exit status).
    bool someFileNotWrittenWhole() const;

    // The least time between two paints of the window.
    static constexpr int kPaintGapMs = 100;

    // Message, where the window's terse reports show (the data folder's
    // note at start-up).
    QLabel* messageLabel() const { return ui.Message; }

    // Opens the analysis window (AnalysisButton, Ctrl+L) and raises it.
    void showAnalysis();
    // The driver of an unattended start (the command-line options), owned
    // by the window.
    StartDriver* startDriver(const StartOptions& options);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Tests and benches see inside through this friend (the window
    // harness); the program's own parts see only their views.
    friend struct FormInside;

    Ui::Form1 ui;
    FormState st;
    const Services svc;

    // Control arrays, index as in the inventory.
    std::array<QLabel*, 7> FormLabel{};
    std::array<QGroupBox*, 7> Frame{};
    std::array<QLabel*, 9> RFLevel{};
    std::array<QLineEdit*, 6> LoRaTxTime{};
    std::array<QPushButton*, 2> TestStartSW{};
    std::array<QRadioButton*, 2> RssiGraph_Sel{};

    // Serial ports: MSComm1 the radio module, MSComm2 the GPS receiver.
    SerialPort* MSComm1 = nullptr;
    SerialPort* MSComm2 = nullptr;

    // Timers (all 100 ms at design time; only GPSTimer enabled).
    Timer* GPSTimer = nullptr;
    Timer* InitialTimer = nullptr;
    Timer* Tx_Timer = nullptr;
    Timer* Timer1 = nullptr;

    // Subsystems.
    std::unique_ptr<SettingsFile> settings;
    std::unique_ptr<FieldRules> fieldRules;
    std::unique_ptr<PortSelection> portSelection;
    std::unique_ptr<RadioChannel> radio;
    std::unique_ptr<GpsChannel> gpsChannel;
    std::unique_ptr<InitSequence> init;
    std::unique_ptr<RunControl> run;
    std::unique_ptr<TestCycle> cycle;
    std::unique_ptr<ResultSounds> sounds;
    std::unique_ptr<LogWriters> logs;
    std::unique_ptr<GgaProcessor> gga;
    std::unique_ptr<DatumPoint> datum;

    // Beyond the main window: the run's records feed the recorder (figures,
    // alarms, record stream, run report); the analysis window shows it.
    std::unique_ptr<analysis::RunRecorder> recorder;
    std::unique_ptr<analysis::AlarmEffects> alarmEffects;
    std::unique_ptr<analysis::AnalysisWindow> analysisWindow;
    // The parts' views (PartViews.cpp).
    FieldRulesView fieldRulesView();
    SettingsView settingsView();
    StartView startView();
    DatumView datumView();
    GgaView ggaView();
    InitView initView();
    LogView logView();
    GpsView gpsView();
    PortView portView();
    RadioView radioView();
    SoundsView soundsView();
    RunView runView();
    CycleView cycleView();

    void bindControlArrays();
    void wireParts();
    void wireAnalysis();
    void Form_Load();
    void Form_Resize();
    void shapeOnlyWhatIsInView();
    void reportLostLines() const;
    bool unloaded_ = false;
    bool analysisPlaced_ = false;
};
