// A whole counted run on the real stack: the module simulator and a walking
// GPS receiver on pseudo-terminals, the window with the system clock, real
// timers and QSerialPort; the log files checked as they lie on disk.
#include "E2eStack.h"
#include "looptest/RunControl.h"
#include "platform/Timer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

using namespace e2e;

class RunE2eTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        const QString bin = qEnvironmentVariable("QVX_BIN_DIR");
        if (!QFileInfo::exists(bin + QStringLiteral("/qvx-sim")) || !QFileInfo::exists(bin + QStringLiteral("/qvx-nmea")))
            QSKIP("qvx-sim or qvx-nmea is not built");
    }

    void countedRunOfFiveWithGps() {
        Simulator sim({QStringLiteral("--mode"), QStringLiteral("fsk"), QStringLiteral("--far-rssi"),
                       QStringLiteral("-81,-82,-83,-84,-85"), QStringLiteral("--ack-rssi"), QStringLiteral("-90"),
                       QStringLiteral("--noise"), QStringLiteral("-115"), QStringLiteral("--loss-pattern"),
                       QStringLiteral("...x.")});
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        GpsFeeder gps({QStringLiteral("--lat"), QStringLiteral("35.0"), QStringLiteral("--lon"), QStringLiteral("137.0"),
                       QStringLiteral("--baud"), QStringLiteral("9600")});
        QVERIFY2(!gps.path().isEmpty(), qPrintable(gps.errors()));

        RealStack app;
        Form1& f = *app.form;
        inside(f).ui.GPS_Baudrate->setCurrentText(QStringLiteral("9600"));
        inside(f).ui.GPS_Port->setText(gps.path());
        inside(f).ui.GPS_On->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(inside(f).ui.NposGmap->text().startsWith(QStringLiteral(" 35.0")), kTimeoutMs);

        inside(f).ui.Com_Port->setText(sim.path());
        inside(f).ui.LogFile_Flg->setChecked(true);
        inside(f).ui.LogFileName->setText(QStringLiteral("run"));
        inside(f).ui.MapFileName->setText(QStringLiteral("map"));
        inside(f).ui.FSKTxTime->setText(QStringLiteral("500"));
        inside(f).ui.Tx_CnEnd->setText(QStringLiteral("5"));
        inside(f).ui.TestStartSW_1->click();
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.TestStartSW_1->text(), RunControl::kCountedRunning, kTimeoutMs);
        // Five packets, the sixth step ends the run and closes the port.
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.TestStartSW_1->text(), RunControl::kCountedIdle, kTimeoutMs);
        QCOMPARE(inside(f).ui.Tx_Count->text(), QStringLiteral("5"));
        QCOMPARE(inside(f).ui.FSK_OK->text(), QStringLiteral("4"));
        QCOMPARE(inside(f).ui.FSK_Err->text(), QStringLiteral("1"));
        QVERIFY(!inside(f).MSComm1->isOpen());
        QVERIFY(!inside(f).Tx_Timer->isEnabled());
        QCOMPARE(inside(f).st.RunState, 0);

        // The communication log: one CR LF line per packet, its send half
        // and its receive half.
        QStringList log =
            commLogRecords(fileBytes(app.dir.filePath(inside(f).ui.LogFileHedder->text() + QStringLiteral("run.log"))));
        QCOMPARE(log.size(), 2 + 5);
        QVERIFY2(log[0].startsWith(QStringLiteral("-------< Start:")) && log[0].endsWith(QStringLiteral(" > -------")),
                 qPrintable(log[0]));
        QCOMPARE(log[1], QStringLiteral("試験時間,試験コマンド,応答データ,応答時間[ms],受信RSSI値,応答RSSI値,フロアノイズ,以降はGPSデータ"));
        log = log.mid(2);
        const QRegularExpression ok(QStringLiteral(
            R"(^\d\d:\d\d:\d\d,@RA\[Cr\]\[Lf\]@DT05(\d{3})XX\[Cr\]\[Lf\],\*RA=-115dBm\[Cr\]\[Lf\]\*DR=05(\d{3})･･\[Cr\]\[Lf\]\*RS=-90dBm\[Cr\]\[Lf\], \d+,(-8\d),-90,-115,\$GPGGA,[^*]*,3500\.\d+,N,13700\.\d+,E,1,.*\*[0-9A-F]{2}$)"));
        for (int i : {0, 1, 2, 4}) {
            const auto m = ok.match(log[i]);
            QVERIFY2(m.hasMatch(), qPrintable(log[i]));
            QCOMPARE(m.captured(1).toInt(), i + 1);
            QCOMPARE(m.captured(2).toInt(), i + 1);
            // The simulator's far-end strengths, one per answered packet.
            QCOMPARE(m.captured(3).toInt(), -81 - (i < 3 ? i : 3));
        }
        // The lost packet: empty answer, times and strengths, the noise kept.
        QVERIFY2(log[3].contains(QStringLiteral("@DT05004")), qPrintable(log[3]));
        QVERIFY2(log[3].contains(QStringLiteral("[Cr][Lf],*RA=-115dBm[Cr][Lf],,,,-115,$GPGGA,")), qPrintable(log[3]));

        // The map logs: the header once, then position, strengths and noise.
        const QString map = inside(f).ui.MapFileHedder->text() + QStringLiteral("map");
        const QStringList csv = crlfLines(fileBytes(app.dir.filePath(map + QStringLiteral(".csv"))));
        QCOMPARE(csv.size(), 1 + 4);
        QCOMPARE(csv[0] + QStringLiteral("\r\n"), QStringLiteral("N: ,E: ,M: ,RX-RSSI ,Ack-RSSI ,Floor Noise\r\n"));
        const QRegularExpression row(QStringLiteral(R"(^ 35\.0\d*, 137\.0\d*, 40\.5,-8\d,-90,-115$)"));
        for (int i = 1; i < csv.size(); ++i)
            QVERIFY2(row.match(csv[i]).hasMatch(), qPrintable(csv[i]));
        const QStringList mapLog = crlfLines(fileBytes(app.dir.filePath(map + QStringLiteral(".log"))));
        QCOMPARE(mapLog.size(), 1 + 5);
        QVERIFY2(mapLog[4].endsWith(QStringLiteral(", 40.5,,,-115")), qPrintable(mapLog[4]));
        QCOMPARE(mapLog[5], csv[4]);
        inside(f).ui.GPS_On->setChecked(false);
    }

    // A module that answers a data command with 1 MiB of random bytes: the
    // run goes on to its end and every packet still has its log line.
    void floodOfOneMebibyte() {
        Simulator sim({QStringLiteral("--mode"), QStringLiteral("fsk"), QStringLiteral("--flood"), QStringLiteral("1048576")});
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        RealStack app;
        Form1& f = *app.form;
        inside(f).ui.Com_Port->setText(sim.path());
        inside(f).ui.LogFile_Flg->setChecked(true);
        inside(f).ui.LogFileName->setText(QStringLiteral("flood"));
        inside(f).ui.Tx_CnEnd->setText(QStringLiteral("5"));
        inside(f).ui.TestStartSW_1->click();
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.TestStartSW_1->text(), RunControl::kCountedRunning, kTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.TestStartSW_1->text(), RunControl::kCountedIdle, 60000);
        QCOMPARE(inside(f).ui.Tx_Count->text(), QStringLiteral("5"));
        QCOMPARE(inside(f).ui.FSK_OK->text().toInt() + inside(f).ui.FSK_Err->text().toInt(), 5);
        QVERIFY(!inside(f).MSComm1->isOpen());
        const QStringList log =
            commLogRecords(fileBytes(app.dir.filePath(inside(f).ui.LogFileHedder->text() + QStringLiteral("flood.log"))));
        QCOMPARE(log.size(), 2 + 5);
        for (int i = 0; i < 5; ++i)
            QVERIFY2(log[2 + i].contains(QStringLiteral("@DT05%1XX[Cr][Lf],").arg(i + 1, 3, 10, QLatin1Char('0'))),
                     qPrintable(log[2 + i].left(80)));
    }
};

QTEST_MAIN(RunE2eTest)
#include "run_e2e_test.moc"
