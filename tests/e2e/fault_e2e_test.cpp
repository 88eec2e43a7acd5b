// Faults on the real stack, injected from outside the program: the GPS
// receiver unplugged, a receiver sending garbage, answers arriving late and
// out of order, the log folder becoming unwritable mid-run. In each the
// window keeps responding, shows the failure, and what was logged before
// the fault is intact on disk. (The radio port vanishing and a 1 MiB flood
// are in the radio and run end-to-end tests.)
#include "E2eStack.h"
#include "looptest/RunControl.h"
#include "platform/Timer.h"
#include "ports/GpsChannel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

using namespace e2e;

namespace {

const QRegularExpression kLogLine(QStringLiteral(R"(^\d\d:\d\d:\d\d,@RA\[Cr\]\[Lf\]@DT05(\d{3})XX\[Cr\]\[Lf\],)"));

// Every line after the two head lines is a whole record of packet 1, 2, ...
void checkRecords(const QStringList& log, int atLeast) {
    QVERIFY2(log.size() >= 2 + atLeast, qPrintable(QString::number(log.size())));
    QVERIFY2(log[0].startsWith(QStringLiteral("-------< Start:")), qPrintable(log[0]));
    for (int i = 2; i < log.size(); ++i) {
        const auto m = kLogLine.match(log[i]);
        QVERIFY2(m.hasMatch(), qPrintable(log[i].left(120)));
        QCOMPARE(m.captured(1).toInt(), i - 1);
    }
}

int count(QLineEdit* box) { return box->text().toInt(); }

void startGps(Form1& f, const QString& port) {
    inside(f).ui.GPS_Baudrate->setCurrentText(QStringLiteral("9600"));
    inside(f).ui.GPS_Port->setText(port);
    inside(f).ui.GPS_On->setChecked(true);
    QVERIFY(inside(f).ui.GPS_On->isChecked());
}

void startRun(Form1& f, const QString& port, const QString& logName, int counted) {
    inside(f).ui.Com_Port->setText(port);
    inside(f).ui.LogFile_Flg->setChecked(true);
    inside(f).ui.LogFileName->setText(logName);
    inside(f).ui.MapFileName->setText(logName + QStringLiteral("-map"));
    inside(f).ui.FSKTxTime->setText(QStringLiteral("300"));
    if (counted > 0) {
        inside(f).ui.Tx_CnEnd->setText(QString::number(counted));
        inside(f).TestStartSW[1]->click();
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).TestStartSW[1]->text(), RunControl::kCountedRunning, kTimeoutMs);
    } else {
        inside(f).TestStartSW[0]->click();
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).TestStartSW[0]->text(), RunControl::kContinuousRunning, kTimeoutMs);
    }
}

void stopContinuousRun(Form1& f) {
    inside(f).TestStartSW[0]->click();
    QTRY_COMPARE_WITH_TIMEOUT(inside(f).TestStartSW[0]->text(), RunControl::kContinuousIdle, kTimeoutMs);
    QVERIFY(!inside(f).MSComm1->isOpen());
    QVERIFY(!inside(f).Tx_Timer->isEnabled());
}

} // namespace

class FaultE2eTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        const QString bin = qEnvironmentVariable("QVX_BIN_DIR");
        if (!QFileInfo::exists(bin + QStringLiteral("/qvx-sim")) || !QFileInfo::exists(bin + QStringLiteral("/qvx-nmea")))
            QSKIP("qvx-sim or qvx-nmea is not built");
    }

    // The GPS receiver goes away during a run: GPS use switches off with the
    // port message, the position is no longer shown, the map logs stop at
    // their last true line, and the radio run goes on.
    void gpsUnpluggedMidRun() {
        Simulator sim({QStringLiteral("--mode"), QStringLiteral("fsk")});
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        GpsFeeder gps({QStringLiteral("--lat"), QStringLiteral("35.0"), QStringLiteral("--lon"), QStringLiteral("137.0"),
                       QStringLiteral("--baud"), QStringLiteral("9600")});
        QVERIFY2(!gps.path().isEmpty(), qPrintable(gps.errors()));
        RealStack app;
        Form1& f = *app.form;
        startGps(f, gps.path());
        QTRY_VERIFY_WITH_TIMEOUT(inside(f).ui.NposGmap->text().startsWith(QStringLiteral(" 35.0")), kTimeoutMs);
        startRun(f, sim.path(), QStringLiteral("gps-gone"), 0);
        QTRY_VERIFY_WITH_TIMEOUT(count(inside(f).ui.FSK_OK) >= 4, kTimeoutMs);

        gps.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!inside(f).ui.GPS_On->isChecked(), kTimeoutMs);
        QCOMPARE(inside(f).ui.GPSMessage->text(), QStringLiteral("ポート･設定確認"));
        QVERIFY(!inside(f).MSComm2->isOpen());
        QCOMPARE(inside(f).ui.NposGmap->text(), QString());

        const QString map = app.dir.filePath(inside(f).ui.MapFileHedder->text() + QStringLiteral("gps-gone-map"));
        const QStringList csvAtFault = crlfLines(fileBytes(map + QStringLiteral(".csv")));
        const int packetsAtFault = count(inside(f).ui.Tx_Count);
        QTRY_VERIFY_WITH_TIMEOUT(count(inside(f).ui.Tx_Count) >= packetsAtFault + 3, kTimeoutMs);
        stopContinuousRun(f);
        QVERIFY(inside(f).ui.GPS_Port->isEnabled());   // free to choose another port

        // The map file: its header and whole rows at the true positions,
        // nothing added after the receiver went away.
        const QStringList csv = crlfLines(fileBytes(map + QStringLiteral(".csv")));
        QCOMPARE(csv, csvAtFault);
        QVERIFY(csv.size() >= 1 + 3);
        const QRegularExpression row(QStringLiteral(R"(^ 35\.0\d*, 137\.0\d*, 40\.5,-\d+,-\d+,-\d+$)"));
        for (int i = 1; i < csv.size(); ++i)
            QVERIFY2(row.match(csv[i]).hasMatch(), qPrintable(csv[i]));
        // The communication log has every packet, before and after.
        const QStringList log = commLogRecords(fileBytes(app.dir.filePath(inside(f).ui.LogFileHedder->text() + QStringLiteral("gps-gone.log"))));
        checkRecords(log, packetsAtFault + 3);
        QCOMPARE(log.size() - 2, count(inside(f).ui.Tx_Count));
    }

    // A receiver that sends binary noise, endless lines and broken other
    // sentences between its good ones: the good fixes are shown, the buffer stays
    // bounded, the run and its logs go on.
    void gpsSendsGarbage() {
        QTemporaryDir work;
        QFile capture(work.filePath(QStringLiteral("garbage.nmea")));
        QVERIFY(capture.open(QIODevice::WriteOnly));
        QRandomGenerator rng(7);
        for (int i = 0; i < 4; ++i) {
            QByteArray noise(3000, '\0');
            for (char& c : noise)
                c = char(rng.bounded(256));
            capture.write(noise);
            capture.write("\r\n$GPGSV,\x01\x02\x03,,\r\n$GPRMC,023000.00,V,,,,,,,,,,N*00\r\n$GPG");
            capture.write(QByteArray(2000, 'A'));   // a line that never ends ...
            capture.write("\r\n$GPGGA,023000.00,3539.1234,N,13945.6789,E,1,08,0.9,40.5,M,39.2,M,,*57\r\n");
        }
        capture.close();
        GpsFeeder gps({QStringLiteral("--replay"), capture.fileName(), QStringLiteral("--loop"), QStringLiteral("--baud"),
                       QStringLiteral("115200")});
        QVERIFY2(!gps.path().isEmpty(), qPrintable(gps.errors()));
        Simulator sim({QStringLiteral("--mode"), QStringLiteral("fsk")});
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        RealStack app;
        Form1& f = *app.form;
        startGps(f, gps.path());
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.NposGmap->text(), QStringLiteral(" 35.6520566"), kTimeoutMs);
        startRun(f, sim.path(), QStringLiteral("gps-noise"), 10);
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).TestStartSW[1]->text(), RunControl::kCountedIdle, kTimeoutMs);
        QCOMPARE(count(inside(f).ui.Tx_Count), 10);
        QCOMPARE(count(inside(f).ui.FSK_OK), 10);
        QVERIFY(inside(f).ui.GPS_On->isChecked());
        QVERIFY(inside(f).st.GpsBuffer.size() <= GpsChannel::kBufferLimit);
        checkRecords(commLogRecords(fileBytes(app.dir.filePath(inside(f).ui.LogFileHedder->text() + QStringLiteral("gps-noise.log")))), 10);
        // Map rows carry only positions the receiver really reported.
        const QStringList csv = crlfLines(fileBytes(
            app.dir.filePath(inside(f).ui.MapFileHedder->text() + QStringLiteral("gps-noise-map.csv"))));
        QCOMPARE(csv.size(), 1 + 10);
        for (int i = 1; i < csv.size(); ++i)
            QVERIFY2(csv[i].startsWith(QStringLiteral(" 35.6520566, 139.761315, 40.5,")), qPrintable(csv[i]));
        inside(f).ui.GPS_On->setChecked(false);
    }

    // Answers late and out of order: an answer counts only for the packet it
    // answers, in the period of that packet; whatever arrives later shows in
    // the next line's received text and never turns a loss into a success.
    void lateAndOutOfOrderAnswers_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("ok");
        // Of every two packets the first one's answer comes after the second's.
        QTest::newRow("swapped pairs") << QStringList{QStringLiteral("--swap-every"), QStringLiteral("2")} << 5;
        // Every answer 450 ms after its packet: in the next packet's period.
        QTest::newRow("a period and a half late") << QStringList{QStringLiteral("--loop-delay"), QStringLiteral("450")} << 0;
    }
    void lateAndOutOfOrderAnswers() {
        QFETCH(QStringList, options);
        QFETCH(int, ok);
        Simulator sim(QStringList{QStringLiteral("--mode"), QStringLiteral("fsk")} + options);
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        RealStack app;
        Form1& f = *app.form;
        startRun(f, sim.path(), QStringLiteral("late"), 10);
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).TestStartSW[1]->text(), RunControl::kCountedIdle, kTimeoutMs);
        QCOMPARE(count(inside(f).ui.Tx_Count), 10);
        QCOMPARE(count(inside(f).ui.FSK_OK), ok);
        QCOMPARE(count(inside(f).ui.FSK_Err), 10 - ok);
        const QStringList log = commLogRecords(fileBytes(app.dir.filePath(inside(f).ui.LogFileHedder->text() + QStringLiteral("late.log"))));
        checkRecords(log, 10);
        QCOMPARE(log.size(), 2 + 10);
        for (int i = 2; i < log.size(); ++i) {
            const int packet = i - 1;
            const QString own = QStringLiteral("*DR=05%1").arg(packet, 3, 10, QLatin1Char('0'));
            const QStringList fields = log[i].split(u',');
            const bool success = !fields.value(3).trimmed().isEmpty();
            if (success)
                QVERIFY2(fields.value(2).contains(own), qPrintable(log[i]));
            if (ok == 0 && packet > 1)
                // The previous packet's answer arrived in this period.
                QVERIFY2(fields.value(2).contains(QStringLiteral("*DR=05%1").arg(packet - 1, 3, 10, QLatin1Char('0'))),
                         qPrintable(log[i]));
        }
    }

    // The log folder cannot be written any more (it is replaced by a file,
    // which stops even root): the window names the file at once, the run
    // goes on to its end on screen, and the lines written
    // before the fault are whole in the folder, moved aside.
    void logFolderUnwritableMidRun() {
        Simulator sim({QStringLiteral("--mode"), QStringLiteral("fsk")});
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        RealStack app;
        Form1& f = *app.form;
        const QString folder = app.dir.path();
        const QString moved = folder + QStringLiteral("-moved");
        startRun(f, sim.path(), QStringLiteral("nodisk"), 20);
        QTRY_VERIFY_WITH_TIMEOUT(count(inside(f).ui.Tx_Count) >= 5, kTimeoutMs);

        const int packetsBeforeFault = count(inside(f).ui.Tx_Count);
        QVERIFY(QDir().rename(folder, moved));
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString logName = inside(f).ui.LogFileHedder->text() + QStringLiteral("nodisk.log");
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.Message->text(), QStringLiteral("ログ書込異常: ") + logName, kTimeoutMs);
        const int packetsAtFault = count(inside(f).ui.Tx_Count);
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).TestStartSW[1]->text(), RunControl::kCountedIdle, kTimeoutMs);
        QCOMPARE(count(inside(f).ui.Tx_Count), 20);
        QCOMPARE(count(inside(f).ui.FSK_OK), 20);
        // The on-screen copy (its newest 2000 characters) goes on to the
        // last packet.
        const QStringList shown = inside(f).ui.LogText->toPlainText()
                                      .split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts)
                                      .filter(kLogLine);
        QVERIFY(!shown.isEmpty());
        QCOMPARE(kLogLine.match(shown.last()).captured(1).toInt(), 20);

        const QStringList log = commLogRecords(fileBytes(moved + QLatin1Char('/') + logName));
        QVERIFY(QFile::remove(folder));
        QVERIFY(QDir().rename(moved, folder));
        checkRecords(log, packetsBeforeFault - 1);
        QVERIFY(log.size() - 2 <= packetsAtFault);
    }
};

QTEST_MAIN(FaultE2eTest)
#include "fault_e2e_test.moc"
