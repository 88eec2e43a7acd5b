#include "shell/Form1.h"

#include "analysis/AlarmEffects.h"
#include "analysis/AnalysisWindow.h"
#include "analysis/RunRecorder.h"
#include "gps/DatumPoint.h"
#include "gps/GgaProcessor.h"
#include "looptest/ResultSounds.h"
#include "looptest/RunControl.h"
#include "looptest/TestCycle.h"
#include "module/InitSequence.h"
#include "platform/Clock.h"
#include "platform/PaintPacer.h"
#include "platform/PictureStyle.h"
#include "platform/PlainPaint.h"
#include "platform/WidgetColours.h"
#include "platform/SerialPort.h"
#include "platform/Timer.h"
#include "ports/GpsChannel.h"
#include "ports/PortSelection.h"
#include "ports/RadioChannel.h"
#include "results/LogWriters.h"
#include "shell/FieldRules.h"
#include "shell/SettingsFile.h"
#include "shell/StartOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextDocument>
#include <QTextStream>

#include <algorithm>

Form1::Form1(const Services& services, QWidget* parent) : QWidget(parent), svc(services) {
    ui.setupUi(this);
    bindControlArrays();

    MSComm1 = svc.ports->createPort(this);
    MSComm2 = svc.ports->createGpsPort(this);
    GPSTimer = svc.clock->createTimer(this);
    InitialTimer = svc.clock->createTimer(this);
    Tx_Timer = svc.clock->createTimer(this);
    Timer1 = svc.clock->createTimer(this);

    // The parts, lower layers first, each with its view: each is handed the
    // lower parts it calls; what it tells the parts above goes through its
    // signals.
    settings = std::make_unique<SettingsFile>(settingsView(), this);
    fieldRules = std::make_unique<FieldRules>(fieldRulesView(), this);
    logs = std::make_unique<LogWriters>(logView(), this);
    sounds = std::make_unique<ResultSounds>(soundsView(), this);
    radio = std::make_unique<RadioChannel>(radioView(), this);
    portSelection = std::make_unique<PortSelection>(portView(), this);
    gpsChannel = std::make_unique<GpsChannel>(gpsView(), this);
    gga = std::make_unique<GgaProcessor>(ggaView(), this);
    datum = std::make_unique<DatumPoint>(datumView(), this);
    init = std::make_unique<InitSequence>(initView(), this);
    cycle = std::make_unique<TestCycle>(cycleView(), this, *logs, *radio, *sounds, *gga);
    run = std::make_unique<RunControl>(runView(), this, *logs, *radio, *cycle);
    wireParts();
    wireAnalysis();

    Form_Load();
    // The window is painted at most every 100 ms: a step, the answers
    // that follow it within milliseconds and the elapsed-time tick are
    // painted together. Changed values repaint themselves alone, not the
    // group boxes and window beneath them, and the frames of fields and
    // scroll bars are copied from pictures rather than drawn again.
    if (!plainpaint::off(u"pacer"))
        new PaintPacer(this, kPaintGapMs);
    paintOwnBackgrounds(this);
    if (!plainpaint::off(u"frames"))
        drawFramesFromPictures(this);
    shapeOnlyWhatIsInView();
}

Form1::~Form1() {
    Form_Unload();
}


// Every handler of the window, connected in the order a reader follows a
// run: the run buttons, the initialisation, the run start and stop, the
// cycle and its timers; the radio port's receive handler; the GPS port, its
// tick and the datum point; the port list and the field rules.
void Form1::wireParts() {
    // Run buttons: start an initialisation, or stop what is going on.
    connect(ui.TestStartSW_0, &QPushButton::clicked, run.get(), [this] { run->TestStartSW_Click(0); });
    connect(ui.TestStartSW_1, &QPushButton::clicked, run.get(), [this] { run->TestStartSW_Click(1); });

    // Initialisation, one step per tick; success begins the run, failure
    // stops the attempt.
    connect(InitialTimer, &Timer::timeout, init.get(), &InitSequence::InitialTimer_Timer);
    connect(init.get(), &InitSequence::commandReady, radio.get(), &RadioChannel::SendModuleCommand);
    // The open radio port locks the GPS port's choice with its own, until
    // the stop completes.
    connect(init.get(), &InitSequence::portsLocked, gpsChannel.get(), &GpsChannel::runLocksPorts);
    connect(run.get(), &RunControl::portsFreed, gpsChannel.get(), &GpsChannel::runFreesPorts);
    connect(init.get(), &InitSequence::succeeded, run.get(), &RunControl::BeginTestRun);
    connect(init.get(), &InitSequence::failed, run.get(),
            [this] { run->StopTestRun(records::EndCause::InitFailed); });

    // The cycle: one step per period (it logs, sounds and graphs each
    // exchange itself); a counted run that has sent all its packets stops.
    connect(Tx_Timer, &Timer::timeout, cycle.get(), &TestCycle::Tx_Timer_Timer);
    connect(cycle.get(), &TestCycle::lengthReached, run.get(),
            [this] { run->StopTestRun(records::EndCause::Completed); });
    // Elapsed time and the completion of a pending stop.
    connect(Timer1, &Timer::timeout, run.get(), &RunControl::Timer1_Timer);

    // The radio port: received bytes for the cycle's next step; a failed
    // write or a vanished port stops the run.
    connect(MSComm1, &SerialPort::readyRead, radio.get(), &RadioChannel::MSComm1_OnComm);
    connect(MSComm1, &SerialPort::lost, radio.get(), &RadioChannel::MSComm1_Lost);
    connect(radio.get(), &RadioChannel::portFailed, run.get(),
            [this] { run->StopTestRun(records::EndCause::WriteFailed); });

    // GPS: the port's text into the buffer, the tick takes a sentence and
    // the distance from the datum point; the datum point buttons.
    connect(ui.GPS_On, &QCheckBox::toggled, gpsChannel.get(), &GpsChannel::GPS_On_Click);
    connect(MSComm2, &SerialPort::readyRead, gpsChannel.get(), &GpsChannel::MSComm2_OnComm);
    connect(MSComm2, &SerialPort::lost, gpsChannel.get(), &GpsChannel::MSComm2_Lost);
    connect(GPSTimer, &Timer::timeout, gga.get(), &GgaProcessor::GPSTimer_Timer);
    connect(ui.GPS_On, &QCheckBox::toggled, gga.get(), &GgaProcessor::wake);
    connect(MSComm2, &SerialPort::readyRead, gga.get(), &GgaProcessor::wake);
    connect(ui.GPSdataDisp->document(), &QTextDocument::contentsChanged, gga.get(), &GgaProcessor::wake);
    connect(ui.GPSdata_clr, &QComboBox::currentTextChanged, gga.get(), &GgaProcessor::wake);
    // Every sentence, dated by its arrival, for the positions of the records.
    connect(gpsChannel.get(), &GpsChannel::textReceived, gga.get(), &GgaProcessor::received);
    connect(ui.GPS_On, &QCheckBox::toggled, gga.get(), &GgaProcessor::gpsSwitched);
    connect(ui.Geten_ReadSW, &QPushButton::clicked, datum.get(), &DatumPoint::Geten_ReadSW_Click);
    connect(ui.Geten_SetSW, &QPushButton::clicked, datum.get(), &DatumPoint::Geten_SetSW_Click);

    // The port list of both port boxes.
    connect(ui.ComSelectSW, &QPushButton::clicked, portSelection.get(), &PortSelection::ComSelectSW_Click);
    connect(ui.GPS_SelectSW, &QPushButton::clicked, portSelection.get(), &PortSelection::GPS_SelectSW_Click);
    connect(ui.Com_PortList, &QListWidget::itemClicked, portSelection.get(), &PortSelection::Com_PortList_Click);
    connect(ui.Com_PortList, &QListWidget::itemActivated, portSelection.get(), &PortSelection::Com_PortList_Click);
    // The GPS port's list button is the GPS channel's to lock and free.
    connect(portSelection.get(), &PortSelection::radioListOpened, gpsChannel.get(), &GpsChannel::radioListOpened);
    connect(portSelection.get(), &PortSelection::radioListClosed, gpsChannel.get(), &GpsChannel::radioListClosed);
    connect(portSelection.get(), &PortSelection::portChosen, gpsChannel.get(), &GpsChannel::portChosen);

    // The file-name fields' colour rule (the period fields' rule runs from
    // FieldRules' own focus filter).
    connect(ui.LogFileName, &QLineEdit::textChanged, fieldRules.get(), &FieldRules::LogFileName_Change);
    connect(ui.MapFileName, &QLineEdit::textChanged, fieldRules.get(), &FieldRules::MapFileName_Change);
}

// The records of every run go to the recorder: run start, each evaluated
// exchange and late answer, run end; the GPS side feeds the fix alarm. The
// recorder's clock is the window's, so markers and "time since the last
// answer" count on the records' own instants.
void Form1::wireAnalysis() {
    const QString settingsPath = QDir(svc.appDir).filePath(QLatin1String(analysis::AnalysisSettings::kFileName));
    const analysis::AnalysisSettings settings = analysis::AnalysisSettings::load(settingsPath);
    recorder = std::make_unique<analysis::RunRecorder>(svc.appDir, settings);
    Clock* clock = svc.clock;
    recorder->setClock([clock] { return analysis::Instant{clock->now(), clock->microseconds()}; });
    recorder->setPlace([this](std::int64_t us) -> std::pair<records::GpsState, std::optional<records::Position>> {
        if (!ui.GPS_On->isChecked())
            return {records::GpsState::Off, std::nullopt};
        const gps::PositionAt at = gga->positionAt(us);
        return {at.state, at.position};
    });
    alarmEffects = std::make_unique<analysis::AlarmEffects>(
        svc.sound, QFileInfo(sounds->soundFile(QStringLiteral("ALARM.wav"))).path());
    alarmEffects->applySettings(settings);
    alarmEffects->setAttentionWidget(this);
    analysisWindow = std::make_unique<analysis::AnalysisWindow>(*recorder, settingsPath);
    analysisWindow->setDialogs(svc.dialogs);

    analysis::RunRecorder* rec = recorder.get();
    connect(run.get(), &RunControl::runStarted, rec, &analysis::RunRecorder::onRunStart);
    connect(cycle.get(), &TestCycle::lateAnswer, rec, &analysis::RunRecorder::onLateAnswer);
    connect(cycle.get(), &TestCycle::exchangeEvaluated, rec, &analysis::RunRecorder::onExchange);
    connect(run.get(), &RunControl::runEnded, rec, &analysis::RunRecorder::onRunEnd);
    connect(rec, &analysis::RunRecorder::alarmRaised, alarmEffects.get(), &analysis::AlarmEffects::onAlarmRaised);
    connect(rec, &analysis::RunRecorder::settingsChanged, alarmEffects.get(), &analysis::AlarmEffects::applySettings);
    // A record stream or run report that cannot be written is named in
    // Message as a log is (standard output is no file of the run's).
    connect(rec, &analysis::RunRecorder::writeFailed, logs.get(), [this](const QString& path) {
        if (path != QLatin1String("-")) logs->otherFileFailed(path);
    });
    connect(rec, &analysis::RunRecorder::writtenAgain, logs.get(), &LogWriters::otherFileWritten);

    connect(ui.GPS_On, &QCheckBox::toggled, rec, &analysis::RunRecorder::setGpsInUse);
    connect(gga.get(), &GgaProcessor::positionTaken, rec, &analysis::RunRecorder::positionTaken);
    connect(GPSTimer, &Timer::timeout, rec, &analysis::RunRecorder::gpsTick);
    // The coverage map and RSSI against distance measure from the datum point.
    connect(datum.get(), &DatumPoint::datumChanged, analysisWindow.get(), &analysis::AnalysisWindow::setDatum);

    connect(ui.AnalysisButton, &QPushButton::clicked, this, &Form1::showAnalysis);
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
    shortcut->setObjectName(QStringLiteral("AnalysisShortcut"));
    connect(shortcut, &QShortcut::activated, this, &Form1::showAnalysis);
}

StartDriver* Form1::startDriver(const StartOptions& options) {
    // An unattended run leaves the coverage map's picture beside its logs.
    auto saveMap = [this] {
        const QString path = recorder->mapPicturePath();
        QString error;
        if (!path.isEmpty() && !analysisWindow->saveMapPicture(path, &error))
            QTextStream(stderr) << "qvx-loopback: could not write the map picture " << path << ": " << error << Qt::endl;
    };
    return new StartDriver(startView(), this, *settings, *run, *recorder, [this] { showAnalysis(); }, saveMap, options);
}

void Form1::showAnalysis() {
    // The first time beside the main window, to its right, as far as the
    // screen allows; afterwards where the operator left it.
    if (!analysisPlaced_) {
        analysisPlaced_ = true;
        const QRect main = frameGeometry();
        QPoint at(main.right() + 8, main.top());
        if (const QScreen* s = screen()) {
            const QRect avail = s->availableGeometry();
            at.setX(std::max(avail.left(), std::min(at.x(), avail.right() - analysisWindow->width())));
            at.setY(std::max(avail.top(), std::min(at.y(), avail.bottom() - analysisWindow->height())));
        }
        analysisWindow->move(at);
    }
    analysisWindow->show();
    analysisWindow->raise();
    analysisWindow->activateWindow();
}
