#include "shell/StartOptions.h"

#include "analysis/RunRecorder.h"
#include "looptest/RunControl.h"
#include "shell/DataFolder.h"
#include "shell/SettingsFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QCommandLineParser>
#include <QTabWidget>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QTextStream>
#include <QTimer>


bool StartOptions::parse(const QStringList& arguments, QString* error) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Loop-back test bench for QVX-760 radio modules."));
    p.addHelpOption();
    p.addVersionOption();
    const QCommandLineOption portOpt(QStringLiteral("port"), QStringLiteral("Radio module port (written into the window)."), QStringLiteral("name"));
    const QCommandLineOption gpsOpt(QStringLiteral("gps-port"), QStringLiteral("GPS receiver port; GPS is switched on."), QStringLiteral("name"));
    const QCommandLineOption baudOpt(QStringLiteral("gps-baud"), QStringLiteral("GPS baud rate."), QStringLiteral("rate"));
    const QCommandLineOption logOpt(QStringLiteral("log"), QStringLiteral("Save the logs under this file name."), QStringLiteral("name"));
    const QCommandLineOption countOpt(QStringLiteral("count"), QStringLiteral("Start a counted run of N packets."), QStringLiteral("N"));
    const QCommandLineOption startOpt(QStringLiteral("start"), QStringLiteral("Start a continuous run."));
    const QCommandLineOption shotOpt(QStringLiteral("screenshot"), QStringLiteral("Save the window as a PNG when the counted run ends."), QStringLiteral("file"));
    const QCommandLineOption quitOpt(QStringLiteral("quit"), QStringLiteral("Close the program when the counted run ends."));
    p.addOptions({portOpt, gpsOpt, baudOpt, logOpt, countOpt, startOpt, shotOpt, quitOpt});
    const QCommandLineOption dataOpt(QStringLiteral("data-dir"), QStringLiteral("Keep the settings and logs in this folder."), QStringLiteral("dir"));
    p.addOption(dataOpt);
    const QCommandLineOption analysisOpt(QStringLiteral("analysis"), QStringLiteral("Open the link analysis window at start."));
    const QCommandLineOption jsonlOpt(QStringLiteral("jsonl"), QStringLiteral("Stream every run's records, one JSON object a line; - for standard output."), QStringLiteral("-"));
    p.addOptions({analysisOpt, jsonlOpt});
    const QCommandLineOption openOpt(QStringLiteral("open"), QStringLiteral("Show the recorded runs in the files given after the options (.jsonl record streams, communication logs) in the analysis window, without a run; --screenshot and --quit then apply to that window."));
    p.addOption(openOpt);
    p.addPositionalArgument(QStringLiteral("[FILE...]"), QStringLiteral("With --open: the files to show."));
    const bool parsed = p.parse(arguments);  // --help names the folder in use when it is not the executable's
    const QString note = DataFolder::resolve(QCoreApplication::applicationDirPath(), p.value(dataOpt)).helpNote();
    if (!note.isEmpty())
        p.setApplicationDescription(p.applicationDescription() + QLatin1Char('\n') + note);
    usage = p.helpText();
    if (!parsed) {
        *error = p.errorText();
        return false;
    }
    p.process(arguments);  // --help and --version print and exit here
    if (!p.isSet(openOpt) && !p.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument: ") + p.positionalArguments().first();
        return false;
    }
    if (p.isSet(openOpt)) {
        openFiles = p.positionalArguments();
        if (openFiles.isEmpty()) {
            *error = QStringLiteral("--open needs the files to show");
            return false;
        }
        for (const QCommandLineOption& o : {portOpt, gpsOpt, baudOpt, logOpt, countOpt, startOpt, analysisOpt, jsonlOpt})
            if (p.isSet(o)) {
                *error = QStringLiteral("--open shows recorded runs and starts none: it does not take --") + o.names().first();
                return false;
            }
    }
    dataDir = p.value(dataOpt);

    radioPort = p.value(portOpt);
    gpsPort = p.value(gpsOpt);
    gpsBaud = p.value(baudOpt);
    logName = p.value(logOpt);
    start = p.isSet(startOpt);
    screenshot = p.value(shotOpt);
    quit = p.isSet(quitOpt);
    analysis = p.isSet(analysisOpt);
    if (p.isSet(jsonlOpt)) {
        if (p.value(jsonlOpt) != QLatin1String("-")) {
            *error = QStringLiteral("--jsonl takes - (standard output); with File保存 the stream is also written beside the log: ") + p.value(jsonlOpt);
            return false;
        }
        jsonlStdout = true;
    }
    if (p.isSet(countOpt)) {
        bool ok = false;
        count = p.value(countOpt).toInt(&ok);
        if (!ok || count < 1) {
            *error = QStringLiteral("--count needs a whole number of packets from 1: ") + p.value(countOpt);
            return false;
        }
    }
    if (start && count > 0) {
        *error = QStringLiteral("--start and --count exclude each other");
        return false;
    }
    if ((quit || !screenshot.isEmpty()) && count == 0 && openFiles.isEmpty()) {
        *error = QStringLiteral("--quit and --screenshot need a counted run (--count N)");
        return false;
    }
    if (p.isSet(dataOpt) && dataDir.isEmpty()) {
        *error = QStringLiteral("--data-dir needs a folder");
        return false;
    }
    if (!gpsBaud.isEmpty() && gpsPort.isEmpty()) {
        *error = QStringLiteral("--gps-baud needs --gps-port");
        return false;
    }
    if (p.isSet(baudOpt)) {
        bool ok = false;
        const int rate = gpsBaud.toInt(&ok);
        if (!ok || rate < 1) {
            *error = QStringLiteral("--gps-baud needs a whole number of bits per second from 1: ") + gpsBaud;
            return false;
        }
    }
    // The log name becomes part of file names in the data folder.
    if (logName.contains(QLatin1Char('/'))) {
        *error = QStringLiteral("--log takes a file name without a folder (no /): ") + logName;
        return false;
    }
    if (!dataDir.isEmpty() && QFileInfo::exists(dataDir) && !QFileInfo(dataDir).isDir()) {
        *error = QStringLiteral("--data-dir names a file, not a folder: ") + dataDir;
        return false;
    }
    return true;
}

StartDriver::StartDriver(const StartView& view, QObject* parent, SettingsFile& settings, RunControl& run,
                         analysis::RunRecorder& recorder, std::function<void()> showAnalysis,
                         std::function<void()> saveMapPicture, const StartOptions& options)
    : QObject(parent), f(view), settings_(settings), run_(run), showAnalysis_(std::move(showAnalysis)),
      saveMapPicture_(std::move(saveMapPicture)), opt(options) {
    recorder.setStreamToStdout(opt.jsonlStdout);
    recorder.setPrintSummary(opt.quit && opt.count > 0);
    connect(&run_, &RunControl::runStarted, this, &StartDriver::runStarted);
    connect(&run_, &RunControl::runEnded, this, &StartDriver::runEnded);
    connect(&recorder, &analysis::RunRecorder::writeFailed, this,
            [this](const QString& path, const QString&) { noteFileFailures(path); });
    connect(&recorder, &analysis::RunRecorder::exchangeAdded, this, [this] { noteFileFailures(); });
    // Test hooks, for the timing tests only, standing for a slow redraw:
    // QVX_TEST_BUSY_AFTER_EXCHANGE_MS=N keeps the window's thread busy for
    // N ms right after every evaluated exchange, from the event loop as a
    // posted repaint would; QVX_TEST_BUSY_IN_EXCHANGE_MS=N within the
    // exchange's own handling, as a synchronous one would.
    const auto busyFor = [](int ms) {
        QElapsedTimer busy;
        busy.start();
        while (busy.elapsed() < ms) {
        }
    };
    if (const int ms = qEnvironmentVariableIntValue("QVX_TEST_BUSY_AFTER_EXCHANGE_MS"); ms > 0)
        connect(&recorder, &analysis::RunRecorder::exchangeAdded, this, [=] { busyFor(ms); }, Qt::QueuedConnection);
    if (const int ms = qEnvironmentVariableIntValue("QVX_TEST_BUSY_IN_EXCHANGE_MS"); ms > 0)
        connect(&recorder, &analysis::RunRecorder::exchangeAdded, this, [=] { busyFor(ms); });
    // After the window's start-up has run and the event loop is going.
    QTimer::singleShot(0, this, &StartDriver::apply);
}

void StartDriver::apply() {
    if (opt.analysis) {
        showAnalysis_();
        // Benchmark hook: QVX_BENCH_ANALYSIS_PAGE=N opens the analysis
        // window on page N (0 statistics, 1 map, 2 RSSI against distance).
        if (qEnvironmentVariableIsSet("QVX_BENCH_ANALYSIS_PAGE"))
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* tabs = w->findChild<QTabWidget*>(QStringLiteral("AnalysisTabs")))
                    tabs->setCurrentIndex(qEnvironmentVariableIntValue("QVX_BENCH_ANALYSIS_PAGE"));
    }
    SettingsFile& settings = settings_;
    if (!opt.radioPort.isEmpty())
        settings.setForThisStart(f.Com_Port, opt.radioPort);
    if (!opt.logName.isEmpty()) {
        f.LogFile_Flg->setChecked(true);
        f.LogFileName->setText(opt.logName);
        f.MapFileName->setText(opt.logName);
    }
    if (!opt.gpsPort.isEmpty()) {
        if (!opt.gpsBaud.isEmpty())
            settings.setForThisStart(f.GPS_Baudrate, opt.gpsBaud);
        settings.setForThisStart(f.GPS_Port, opt.gpsPort);
        f.GPS_On->setChecked(true);
    }
    if (!opt.runRequested())
        return;
    if (opt.count > 0)
        settings.setForThisStart(f.Tx_CnEnd, QString::number(opt.count));
    // Give the GPS a moment to deliver a first position before the run.
    QTimer::singleShot(opt.gpsPort.isEmpty() ? 0 : 1500, this, [this] {
        watching_ = opt.count > 0;
        f.TestStartSW[opt.count > 0 ? 1 : 0]->click();
    });
}

void StartDriver::runStarted(const records::RunStart&) {
    if (watching_)
        started_ = true;
}

void StartDriver::runEnded(const records::RunEnd& end) {
    if (!watching_)
        return;
    // Only the requested run counts; what the operator does afterwards
    // (without --quit) does not change the outcome.
    watching_ = false;
    ended_ = true;
    noteFileFailures();
    const QString sent = QStringLiteral(" (%1 of %2 packets sent)").arg(end.sent).arg(opt.count);
    QString why;
    if (!started_ || end.cause == records::EndCause::InitFailed)
        why = QStringLiteral("did not start");
    else if (end.cause == records::EndCause::WriteFailed)
        why = QStringLiteral("lost its port") + sent;
    else if (end.cause == records::EndCause::Operator)
        why = QStringLiteral("was stopped by the operator") + sent;
    else if (end.cause == records::EndCause::Closed)
        why = QStringLiteral("was ended by closing the window") + sent;
    else if (end.sent != opt.count)
        why = QStringLiteral("ended early") + sent;
    if (!why.isEmpty())
        report(why + (end.message.isEmpty() ? QString() : QStringLiteral(": ") + end.message));
    // The screenshot and the close come after the stop has returned (a
    // failed write stops the run from inside a test-cycle step).
    QTimer::singleShot(0, this, &StartDriver::finish);
}

void StartDriver::finish() {
    if (opt.quit)
        saveMapPicture_();
    if (!opt.screenshot.isEmpty() && !f.form->grab().save(opt.screenshot, "PNG"))
        QTextStream(stderr) << "qvx-loopback: could not write the screenshot " << opt.screenshot << Qt::endl;
    if (opt.quit)
        f.form->close();
}

void StartDriver::report(const QString& why) {
    status_ = 1;
    QTextStream(stderr) << "qvx-loopback: the counted run of " << opt.count << ' ' << why << Qt::endl;
}

void StartDriver::noteFileFailures(const QString& path) {
    QString file = path == QLatin1String("-") ? QStringLiteral("the record stream on standard output") : path;
    static const QString kLogFailure = QStringLiteral("ログ書込異常: ");
    if (file.isEmpty() && f.Message->text().startsWith(kLogFailure))
        file = f.Message->text().mid(kLogFailure.size());
    if (!file.isEmpty() && !failedFiles_.contains(file))
        failedFiles_ << file;
}

int StartDriver::exitStatus() {
    if (opt.count > 0 && !ended_) {
        ended_ = true;
        report(QStringLiteral("did not take place (the window was closed first)"));
    }
    if (opt.count > 0 && !failedFiles_.isEmpty()) {
        status_ = 1;
        QTextStream(stderr) << "qvx-loopback: not every file was written whole: " << failedFiles_.join(QStringLiteral(", "))
                            << Qt::endl;
    }
    return status_;
}
