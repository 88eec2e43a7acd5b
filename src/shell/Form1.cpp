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
#include "platform/SerialPort.h"
#include "platform/Timer.h"
#include "ports/GpsChannel.h"
#include "ports/PortSelection.h"
#include "ports/RadioChannel.h"
#include "results/LogWriters.h"
#include "shell/FieldRules.h"
#include "shell/SettingsFile.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include <algorithm>

Form1::Form1(const Services& services, QWidget* parent) : QWidget(parent), svc(services) {
    ui.setupUi(this);
    bindControlArrays();

    MSComm1 = svc.ports->createPort(this);
    MSComm2 = svc.ports->createPort(this);
    GPSTimer = svc.clock->createTimer(this);
    InitialTimer = svc.clock->createTimer(this);
    Tx_Timer = svc.clock->createTimer(this);
    Timer1 = svc.clock->createTimer(this);

    // Each subsystem connects its own handlers in its constructor.
    settings = std::make_unique<SettingsFile>(*this);
    fieldRules = std::make_unique<FieldRules>(*this);
    logs = std::make_unique<LogWriters>(*this);
    sounds = std::make_unique<ResultSounds>(*this);
    radio = std::make_unique<RadioChannel>(*this);
    portSelection = std::make_unique<PortSelection>(*this);
    gpsChannel = std::make_unique<GpsChannel>(*this);
    init = std::make_unique<InitSequence>(*this);
    run = std::make_unique<RunControl>(*this);
    cycle = std::make_unique<TestCycle>(*this);
    gga = std::make_unique<GgaProcessor>(*this);
    datum = std::make_unique<DatumPoint>(*this);
    wireAnalysis();

    Form_Load();
}

Form1::~Form1() {
    Form_Unload();
}

QString Form1::versionText() {
    return QStringLiteral("%1.%2.%3").arg(QVX_VERSION_MAJOR).arg(QVX_VERSION_MINOR).arg(QVX_VERSION_PATCH);
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
    alarmEffects = std::make_unique<analysis::AlarmEffects>(
        svc.sound, QFileInfo(sounds->soundFile(QStringLiteral("ALARM.wav"))).path());
    alarmEffects->applySettings(settings);
    alarmEffects->setAttentionWidget(this);
    analysisWindow = std::make_unique<analysis::AnalysisWindow>(*recorder, settingsPath);

    analysis::RunRecorder* rec = recorder.get();
    connect(run.get(), &RunControl::runStarted, rec, &analysis::RunRecorder::onRunStart);
    connect(cycle.get(), &TestCycle::lateAnswer, rec, &analysis::RunRecorder::onLateAnswer);
    connect(cycle.get(), &TestCycle::exchangeEvaluated, rec, &analysis::RunRecorder::onExchange);
    connect(run.get(), &RunControl::runEnded, rec, &analysis::RunRecorder::onRunEnd);
    connect(rec, &analysis::RunRecorder::alarmRaised, alarmEffects.get(), &analysis::AlarmEffects::onAlarmRaised);
    connect(rec, &analysis::RunRecorder::settingsChanged, alarmEffects.get(), &analysis::AlarmEffects::applySettings);

    connect(ui.GPS_On, &QCheckBox::toggled, rec, &analysis::RunRecorder::setGpsInUse);
    connect(gga.get(), &GgaProcessor::positionTaken, rec, &analysis::RunRecorder::positionTaken);
    connect(GPSTimer, &Timer::timeout, rec, &analysis::RunRecorder::gpsTick);

    connect(ui.AnalysisButton, &QPushButton::clicked, this, &Form1::showAnalysis);
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
    shortcut->setObjectName(QStringLiteral("AnalysisShortcut"));
    connect(shortcut, &QShortcut::activated, this, &Form1::showAnalysis);
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
