// The program as a process among others: the real executable against the
// module simulator on a pseudo-terminal. Line noise around answers, a
// second copy on the same data folder, signals, a closed standard output,
// refused options and unwritable files, ports that cannot be opened, and
// the exit status and standard-error lines each of these gives.
#include "E2eStack.h"
#include "looptest/RunControl.h"
#include "shell/DataFolder.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSerialPort>
#include <QtTest>

#include <QStandardPaths>

#include <csignal>
#include <unistd.h>

using namespace e2e;

namespace {

QString bin(const QString& tool) { return qEnvironmentVariable("QVX_BIN_DIR") + QLatin1Char('/') + tool; }

QProcessEnvironment offscreen() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

struct Outcome {
    int status = -1;
    QStringList told;  // standard error lines of the program's own
    QString out;
    QString err;
};

Outcome finish(QProcess& p, int timeoutMs = 60000) {
    Outcome o;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        o.err = QStringLiteral("<timed out>");
        return o;
    }
    o.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    o.out = QString::fromUtf8(p.readAllStandardOutput());
    o.err = QString::fromUtf8(p.readAllStandardError());
    o.told = o.err.split(u'\n', Qt::SkipEmptyParts).filter(QRegularExpression(QStringLiteral("^qvx-loopback:")));
    return o;
}

Outcome run(const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(offscreen());
    p.start(bin(QStringLiteral("qvx-loopback")), args);
    return finish(p);
}

// Every file of a folder (hidden ones too) with its size and change time.
QStringList snapshot(const QString& dir) {
    QStringList out;
    for (const QFileInfo& i : QDir(dir).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name))
        out << QStringLiteral("%1 %2 %3").arg(i.fileName()).arg(i.size()).arg(i.lastModified().toMSecsSinceEpoch());
    return out;
}

QList<QJsonObject> streamRecords(const QString& path) {
    QList<QJsonObject> out;
    if (path.isEmpty())
        return out;
    for (const QByteArray& line : fileBytes(path).split('\n')) {
        if (!line.isEmpty())
            out << QJsonDocument::fromJson(line).object();
    }
    return out;
}

QString only(const QString& dir, const QString& pattern) {
    const QStringList names = QDir(dir).entryList({pattern}, QDir::Files);
    return names.size() == 1 ? QDir(dir).filePath(names[0]) : QString();
}

// Serial-port lock files naming a pseudo-terminal.
QStringList serialLocks(const QString& pty) {
    QString base = pty.mid(5);
    base.replace(u'/', u'_');
    QStringList found;
    for (const QString& dir : {QStringLiteral("/var/lock"), QStringLiteral("/run/lock"), QDir::tempPath()}) {
        if (QFileInfo::exists(dir + QStringLiteral("/LCK..") + base))
            found << dir + QStringLiteral("/LCK..") + base;
    }
    return found;
}

} // namespace

class ProcessE2eTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        const QString missing = missingTool({QStringLiteral("qvx-loopback"), QStringLiteral("qvx-sim"), QStringLiteral("qvx-nmea")});
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
    }

    // Noise after or before each answer pushes it out of the 80 bytes the
    // dump shows before the next step looks; the answer the receive handler
    // recognised still counts, with the level it carried.
    void noiseAroundAnswersLosesNothing_data() {
        QTest::addColumn<QStringList>("garbage");
        QTest::newRow("40 bytes after") << QStringList{"--garbage-after", "40"};
        QTest::newRow("60 bytes before") << QStringList{"--garbage-before", "60"};
        QTest::newRow("28 bytes after") << QStringList{"--garbage-after", "28"};
    }
    void noiseAroundAnswersLosesNothing() {
        QFETCH(QStringList, garbage);
        Simulator sim(QStringList{"--mode", "fsk", "--far-rssi", "-73,-91,-104"} + garbage);
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        QTemporaryDir dir;
        const Outcome o = run({"--data-dir", dir.path(), "--port", sim.path(), "--count", "20", "--quit", "--log", "n"});
        QVERIFY2(o.status == 0, qPrintable(o.err));
        QVERIFY2(QRegularExpression(QStringLiteral("\nパケット +20 +20 +20 +0 +0\n")).match(o.out).hasMatch(), qPrintable(o.out));
        int answered = 0;
        for (const QJsonObject& r : streamRecords(only(dir.path(), QStringLiteral("*.jsonl")))) {
            if (r.value(QStringLiteral("type")).toString() != QLatin1String("exchange"))
                continue;
            const int packet = r.value(QStringLiteral("packet")).toInt();
            QCOMPARE(r.value(QStringLiteral("outcome")).toString(), QStringLiteral("answered"));
            const int expected[] = {-73, -91, -104};
            QCOMPARE(r.value(QStringLiteral("far_rssi")).toInt(), expected[(packet - 1) % 3]);
            ++answered;
        }
        QCOMPARE(answered, 20);
    }

    // A second copy on a folder in use says so and ends before touching a
    // file; the lock goes with the first copy, and one left by a process
    // that died is taken over.
    void oneProgramPerDataFolder() {
        QTemporaryDir dir;
        QProcess first;
        first.setProcessEnvironment(offscreen());
        first.start(bin(QStringLiteral("qvx-loopback")), {"--data-dir", dir.path()});
        const QString lock = dir.filePath(QLatin1String(DataFolderLock::kFileName));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(lock), kTimeoutMs);
        QTest::qWait(1500);  // the first copy's own start-up is over
        const QStringList before = snapshot(dir.path());

        for (const QStringList& extra : {QStringList{"--port", "/dev/qvx-none", "--count", "3", "--quit", "--log", "x"},
                                         QStringList{"--start", "--jsonl", "-"}}) {
            const Outcome second = run(QStringList{"--data-dir", dir.path()} + extra);
            QCOMPARE(second.status, 3);
            QCOMPARE(second.told.size(), 1);
            QVERIFY2(second.told[0].contains(QStringLiteral("is in use by another copy (process %1)").arg(first.processId())),
                     qPrintable(second.err));
            QVERIFY(second.out.isEmpty());
            QCOMPARE(snapshot(dir.path()), before);
        }

        first.terminate();
        const Outcome firstEnd = finish(first, 5000);
        QVERIFY2(firstEnd.status == 0, qPrintable(firstEnd.err));
        QVERIFY(!QFileInfo::exists(lock));
        QVERIFY(QFileInfo::exists(dir.filePath("qvx-loopback.ini")));

        // A lock whose process has gone (killed at once, nothing closed).
        QProcess killed;
        killed.setProcessEnvironment(offscreen());
        killed.start(bin(QStringLiteral("qvx-loopback")), {"--data-dir", dir.path()});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(lock), kTimeoutMs);
        killed.kill();
        QVERIFY(killed.waitForFinished());
        QVERIFY(QFileInfo::exists(lock));
        Simulator sim({"--mode", "fsk"});
        const Outcome taken = run({"--data-dir", dir.path(), "--port", sim.path(), "--count", "2", "--quit"});
        QVERIFY2(taken.status == 0, qPrintable(taken.err));
        QVERIFY(!QFileInfo::exists(lock));
    }

    // SIGTERM, SIGINT and SIGHUP close the window as its close button does:
    // the run's end record and report, the settings, the port and its lock.
    void signalsEndTheRunInOrder_data() {
        QTest::addColumn<int>("signo");
        QTest::addColumn<QString>("name");
        QTest::newRow("SIGTERM") << int(SIGTERM) << "SIGTERM";
        QTest::newRow("SIGINT") << int(SIGINT) << "SIGINT";
        QTest::newRow("SIGHUP") << int(SIGHUP) << "SIGHUP";
    }
    void signalsEndTheRunInOrder() {
        QFETCH(int, signo);
        QFETCH(QString, name);
        Simulator sim({"--mode", "fsk"});
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        QTemporaryDir dir;
        QProcess p;
        p.setProcessEnvironment(offscreen());
        p.start(bin(QStringLiteral("qvx-loopback")),
                {"--data-dir", dir.path(), "--port", sim.path(), "--count", "1000", "--quit", "--log", "s"});
        QTRY_VERIFY_WITH_TIMEOUT(streamRecords(only(dir.path(), QStringLiteral("*.jsonl"))).size() >= 4, kTimeoutMs);
        const QStringList locksWhileRunning = serialLocks(sim.path());
        QVERIFY(!locksWhileRunning.isEmpty());

        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(p.processId()), signo);
        const Outcome o = finish(p, 10000);
        const qint64 tookMs = clock.elapsed();
        qInfo("ended %lld ms after %s", tookMs, qPrintable(name));
        QVERIFY2(tookMs < 1000, qPrintable(QString::number(tookMs)));
        QCOMPARE(o.status, 1);
        QVERIFY2(o.told.contains(QStringLiteral("qvx-loopback: %1: ending as the close button does").arg(name)), qPrintable(o.err));
        QVERIFY2(o.err.contains(QStringLiteral("was ended by closing the window")), qPrintable(o.err));

        const QList<QJsonObject> stream = streamRecords(only(dir.path(), QStringLiteral("*.jsonl")));
        QCOMPARE(stream.last().value(QStringLiteral("type")).toString(), QStringLiteral("end"));
        QVERIFY(!only(dir.path(), QStringLiteral("*.summary.txt")).isEmpty());
        QVERIFY(QFileInfo(dir.filePath("qvx-loopback.ini")).size() > 0);
        // Every line of the communication log has both its halves.
        const QStringList lines = commLogRecords(fileBytes(only(dir.path(), QStringLiteral("*.log"))));
        // (The packet in flight when the window closes keeps its send half
        // alone, as with the close button.)
        const QStringList exchanges = lines.filter(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d,")));
        QVERIFY(exchanges.size() >= 4);
        for (const QString& line : exchanges.mid(0, exchanges.size() - 1))
            QVERIFY2(line.count(u',') >= 7, qPrintable(line));
        QVERIFY2(exchanges.last().endsWith(QStringLiteral("[Cr][Lf],")) || exchanges.last().count(u',') >= 7,
                 qPrintable(exchanges.last()));
        for (const QString& l : locksWhileRunning)
            QVERIFY2(!QFileInfo::exists(l), qPrintable(l));
        QVERIFY(!QFileInfo::exists(dir.filePath(QLatin1String(DataFolderLock::kFileName))));
    }

    // The X server going away ends the program from inside the toolkit
    // (exit 1 after "The X11 connection broke"); the run still ends in order.
    void lostDisplayEndsTheRunInOrder() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            QSKIP("Xvfb is not installed");
        QProcess x;
        x.start(xvfb, {"-displayfd", "1", "-screen", "0", "1600x1200x24", "-nolisten", "tcp"});
        QVERIFY(x.waitForReadyRead(10000));
        const QString display = QStringLiteral(":") + QString::fromLatin1(x.readLine()).trimmed();
        Simulator sim({"--mode", "fsk"});
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        QTemporaryDir dir;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), display);
        p.setProcessEnvironment(env);
        p.start(bin(QStringLiteral("qvx-loopback")),
                {"--data-dir", dir.path(), "--port", sim.path(), "--count", "1000", "--quit", "--log", "x"});
        QTRY_VERIFY_WITH_TIMEOUT(streamRecords(only(dir.path(), QStringLiteral("*.jsonl"))).size() >= 4, kTimeoutMs);
        x.kill();
        x.waitForFinished();
        const Outcome o = finish(p, 10000);
        QCOMPARE(o.status, 1);
        QVERIFY2(o.err.contains(QStringLiteral("ending the run as the close button does")), qPrintable(o.err));
        QCOMPARE(streamRecords(only(dir.path(), QStringLiteral("*.jsonl"))).last().value(QStringLiteral("type")).toString(),
                 QStringLiteral("end"));
        QVERIFY(!only(dir.path(), QStringLiteral("*.summary.txt")).isEmpty());
        QVERIFY(serialLocks(sim.path()).isEmpty());
        QVERIFY(!QFileInfo::exists(dir.filePath(QLatin1String(DataFolderLock::kFileName))));
    }

    // A reader of the record stream that goes away stops the stream, not
    // the run: all 20 packets go out and the report still comes.
    void closedStandardOutputStopsOnlyTheStream() {
        Simulator sim({"--mode", "fsk"});
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        QTemporaryDir dir;
        const QString errPath = dir.filePath("err.txt");
        QProcess p;
        QProcessEnvironment e = offscreen();
        e.insert(QStringLiteral("Q_ERR"), errPath);
        p.setProcessEnvironment(e);
        p.start(QStringLiteral("bash"),
                {"-c", "\"$0\" \"$@\" 2>\"$Q_ERR\" | head -c 300 >/dev/null; echo ${PIPESTATUS[0]} >\"$Q_ERR.status\"",
                 bin(QStringLiteral("qvx-loopback")), "--data-dir", dir.path(), "--port", sim.path(), "--count", "20",
                 "--quit", "--jsonl", "-"});
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(fileBytes(errPath));
        QVERIFY2(QRegularExpression(QStringLiteral("\nパケット +20 +20 +20 +0 +0\n")).match(err).hasMatch(), qPrintable(err));
        const QStringList told = err.split(u'\n').filter(QRegularExpression(QStringLiteral("^qvx-loopback:")));
        QCOMPARE(told.filter(QStringLiteral("standard output cannot be written (Broken pipe)")).size(), 1);
        QCOMPARE(told.filter(QStringLiteral("not every file was written whole: the record stream on standard output")).size(), 1);
        QCOMPARE(QString::fromUtf8(fileBytes(errPath + QStringLiteral(".status"))).trimmed(), QStringLiteral("1"));
    }

    // Options that cannot be right are refused before anything starts.
    void badOptionsAreRefused_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("reason");
        QTest::newRow("gps baud abc") << QStringList{"--gps-port", "/dev/null", "--gps-baud", "abc"}
                                      << "--gps-baud needs a whole number of bits per second from 1: abc";
        QTest::newRow("count x") << QStringList{"--count", "x"} << "--count needs a whole number of packets from 1: x";
        QTest::newRow("log with a folder") << QStringList{"--log", "a/b"} << "--log takes a file name without a folder (no /): a/b";
        QTest::newRow("stray argument") << QStringList{"--count", "3", "extra"} << "unexpected argument: extra";
        QTest::newRow("unknown option") << QStringList{"--cuont", "3"} << "Unknown option 'cuont'.";
    }
    void badOptionsAreRefused() {
        QFETCH(QStringList, args);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const Outcome o = run(QStringList{"--data-dir", dir.path()} + args);
        QCOMPARE(o.status, 2);
        QVERIFY2(o.told.value(0) == QStringLiteral("qvx-loopback: ") + reason, qPrintable(o.err));
        QVERIFY2(o.err.contains(QStringLiteral("qvx-loopback: ") + reason + QStringLiteral("\n\nUsage: ")), qPrintable(o.err));
        QVERIFY(o.err.contains(QStringLiteral("--data-dir <dir>")));
        QCOMPARE(snapshot(dir.path()), QStringList());
    }
    void dataDirNamingAFileIsRefused() {
        QTemporaryDir dir;
        const QString file = dir.filePath("notafolder");
        QVERIFY(textfile::write(file, QStringLiteral("x")));
        const Outcome o = run({"--data-dir", file, "--count", "1", "--quit"});
        QCOMPARE(o.status, 2);
        QVERIFY2(o.told.value(0) == QStringLiteral("qvx-loopback: --data-dir names a file, not a folder: ") + file, qPrintable(o.err));
        QVERIFY(o.err.contains(QStringLiteral("\n\nUsage: ")));
        QCOMPARE(fileBytes(file), QByteArray("x"));
    }

    // A counted run that sent every packet but could not write its log
    // (a folder stands where the file goes) does not claim success.
    void unwrittenLogFailsTheRun() {
        Simulator sim({"--mode", "fsk"});
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        QTemporaryDir dir;
        const QString blocked = QDate::currentDate().toString(QStringLiteral("yyMMdd")) + QStringLiteral("_FSK Mode_w.log");
        QVERIFY(QDir(dir.path()).mkdir(blocked));
        const Outcome o = run({"--data-dir", dir.path(), "--port", sim.path(), "--count", "3", "--quit", "--log", "w"});
        QCOMPARE(o.status, 1);
        QVERIFY2(o.told.contains(QStringLiteral("qvx-loopback: not every file was written whole: ") + blocked), qPrintable(o.err));
        QVERIFY2(!o.err.contains(QStringLiteral("counted run")), qPrintable(o.err));  // the run itself was whole
        QVERIFY(QRegularExpression(QStringLiteral("\nパケット +3 +3 +3 +0 +0\n")).match(o.out).hasMatch());
    }

    // Ports that do not open say why, beside the window's "ポート確認".
    void portErrorsSayWhy() {
        // No such device: the ports that exist are named.
        Outcome o = run({"--port", "/dev/qvx-no-such-port", "--count", "1", "--quit", "--data-dir", QTemporaryDir().path()});
        QCOMPARE(o.status, 1);
        QVERIFY2(o.told.filter(QRegularExpression(QStringLiteral(
                     "^qvx-loopback: ポート確認: /dev/qvx-no-such-port: no such device; (ports present: |no serial ports)")))
                     .size() == 1,
                 qPrintable(o.err));

        // Held by another program: its process id.
        Simulator sim({"--mode", "fsk"});
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        {
            QSerialPort holder(sim.path());
            QVERIFY(holder.open(QIODevice::ReadWrite));
            QTemporaryDir dir;
            o = run({"--port", sim.path(), "--count", "1", "--quit", "--data-dir", dir.path()});
            QCOMPARE(o.status, 1);
            QVERIFY2(o.told.contains(QStringLiteral("qvx-loopback: ポート確認: %1: in use by process %2 (%3)")
                                         .arg(sim.path())
                                         .arg(QCoreApplication::applicationPid())
                                         .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName().left(15))),
                     qPrintable(o.err));
        }

        // Not this user's to open: the device's group to join.
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (::geteuid() != 0 || setpriv.isEmpty())
            QSKIP("the permission case needs root to run the program as another user");
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777));
        QProcess p;
        p.setProcessEnvironment(offscreen());
        p.start(setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups", bin(QStringLiteral("qvx-loopback")), "--port",
                          sim.path(), "--count", "1", "--quit", "--data-dir", dir.path()});
        o = finish(p);
        QCOMPARE(o.status, 1);
        const QString group = QFileInfo(sim.path()).group();
        QVERIFY2(o.told.contains(QStringLiteral("qvx-loopback: ポート確認: %1: permission denied; the device belongs to group "
                                                "%2: join it (sudo usermod -aG %2 $USER) and log in again")
                                     .arg(sim.path(), group)),
                 qPrintable(o.err));
    }

    // The same reason in the port box's tooltip, after the box's own hint;
    // an open that works gives the hint back.
    void portBoxTooltipCarriesTheReason() {
        RealStack app;
        Form1& f = *app.form;
        const QString hint = inside(f).ui.Com_Port->toolTip();
        inside(f).ui.Com_Port->setText(QStringLiteral("/dev/qvx-no-such-port"));
        inside(f).ui.TestStartSW_1->click();
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.ComMessage->text(), QStringLiteral("ポート確認"), kTimeoutMs);
        QVERIFY2(inside(f).ui.Com_Port->toolTip().startsWith(hint + QStringLiteral("\n/dev/qvx-no-such-port: no such device; ")),
                 qPrintable(inside(f).ui.Com_Port->toolTip()));
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.TestStartSW_1->text(), RunControl::kCountedIdle, kTimeoutMs);
        Simulator sim({"--mode", "fsk"});
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        inside(f).ui.Com_Port->setText(sim.path());
        inside(f).ui.Tx_CnEnd->setText(QStringLiteral("3"));
        inside(f).ui.TestStartSW_1->click();
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.Com_Port->toolTip(), hint, kTimeoutMs);
        QCOMPARE(inside(f).ui.ComMessage->text(), QString());
    }

    // The GPS feeder ends on SIGTERM even when nobody reads its terminal
    // and every write would block.
    void nmeaFeederEndsOnATerminalNobodyReads() {
        const QString capture = qEnvironmentVariable("QVX_SOURCE_DIR") + QStringLiteral("/tests/data/nmea/au-haicom-305n-south-east.nmea");
        GpsFeeder gps({"--replay", capture, "--loop", "--baud", "2000000"});
        QVERIFY2(!gps.path().isEmpty(), qPrintable(gps.errors()));
        QTest::qWait(1500);  // far more than a terminal's buffer
        QElapsedTimer clock;
        clock.start();
        gps.stop();
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    }
};

QTEST_MAIN(ProcessE2eTest)
#include "process_e2e_test.moc"
