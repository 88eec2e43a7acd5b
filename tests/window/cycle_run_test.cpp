// The test cycle against a scripted module on the virtual clock: a counted
// run, the log halves, "@RA", the packet-number wrap, averages, sounds,
// long periods, a write failure inside a step, the first step of a run
// after a long-period one and a fractional period held on average.
#include "WindowHarness.h"
#include "common/TextFile.h"
#include "looptest/TestCycle.h"
#include "platform/Timer.h"
#include "radio_scripted_module.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

class CycleRunTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowHarness> h;
    FakeDevice* dev = nullptr;
    std::unique_ptr<ScriptedModule> module;

    Form1& f() { return h->form(); }

    static QByteArray packet(int n) { return QByteArray::number(n % 1000).rightJustified(3, '0'); }
    // The loop-back answer of packet n carrying the far end's RSSI.
    void answer(int n, int rssi) {
        const quint16 v = quint16(qint16(rssi));
        module->answers["@DT05" + packet(n) + "XX"] =
            "*DR=05" + packet(n) + char(v >> 8) + char(v & 0xFF) + "\r\n";
    }
    int dataCommands() {
        int n = 0;
        for (const QByteArray& c : module->commands)
            n += c.startsWith("@DT") ? 1 : 0;
        return n;
    }
    void startRun(int button, QByteArray firmware = "*FV=1.00\r\n") {
        h = std::make_unique<WindowHarness>();
        dev = h->ports.addDevice(QStringLiteral("COM3"));
        module = std::make_unique<ScriptedModule>(*h, dev);
        h->start();
        inside(f()).ui.Com_Port->setText(QStringLiteral("COM3"));
        inside(f()).ui.LogFile_Flg->setChecked(true);
        inside(f()).ui.LogFileName->setText(QStringLiteral("t"));
        module->setUp(-1, firmware);
        module->answers["@RS"] = "*RS=-70dBm\r\n";
        module->answers["@RA"] = "*RA=-110dBm\r\n";
        inside(f()).TestStartSW[button]->click();
        h->advance(600);
        QVERIFY(inside(f()).Tx_Timer->isEnabled());
        module->commands.clear();
    }
    QByteArray logBytes() {
        QFile file(h->path(inside(f()).ui.LogFileHedder->text() + QStringLiteral("t.log")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void cleanup() {
        module.reset();
        h.reset();
    }

    void countedRunOfThree() {
        startRun(1);
        inside(f()).ui.Tx_CnEnd->setText(QStringLiteral("3"));
        for (int n = 1; n <= 3; ++n)
            answer(n, -80);
        h->advance(100 + 3 * 300);
        QCOMPARE(dataCommands(), 3);
        QCOMPARE(inside(f()).ui.Tx_Count->text(), QStringLiteral("3"));
        QCOMPARE(inside(f()).ui.FSK_OK->text(), QStringLiteral("3"));
        QCOMPARE(inside(f()).ui.FSK_Err->text(), QStringLiteral("0"));
        QVERIFY(!inside(f()).Tx_Timer->isEnabled());
        QVERIFY(!inside(f()).MSComm1->isOpen());
    }

    void firstStepAndLogBytes_data() {
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("kind 2") << QByteArray("*FV=1.00\r\n") << QByteArray("@RA[Cr][Lf]@DT05001XX[Cr][Lf],");
        QTest::newRow("kind 1") << QByteArray("Version=1.00\r\n") << QByteArray("@DT05001XX[Cr][Lf],");
    }
    void firstStepAndLogBytes() {
        QFETCH(QByteArray, firmware);
        QFETCH(QByteArray, sent);
        startRun(0, firmware);
        answer(1, -80);
        inside(f()).ui.GPposition->setText(QStringLiteral("北緯"));
        h->advance(100);
        const QByteArray firstHalf = "\r\n13:05:09," + sent;
        QVERIFY(logBytes().endsWith(firstHalf));
        h->advance(300);
        const bool ra = sent.startsWith("@RA");
        const QByteArray rx = QByteArray(ra ? "*RA=-110dBm[Cr][Lf]" : "") + "*DR=05001\xA5\xA5[Cr][Lf]*RS=-70dBm[Cr][Lf]";
        const QByteArray second = rx + ", 30,-80,-70," + (ra ? "-110" : "") + "," + textfile::encode(QStringLiteral("北緯"));
        QVERIFY2(logBytes().contains(firstHalf + second), logBytes().right(200).constData());
    }

    void packetNumberWraps() {
        startRun(0);
        inside(f()).ui.Tx_Count->setText(QStringLiteral("998"));
        h->advance(100 + 300);
        QCOMPARE(inside(f()).ui.FSKData->text(), QStringLiteral("000"));
        QCOMPARE(inside(f()).ui.ChkData->text(), QStringLiteral("2A 44 52 3D 30 35 30 30 30 "));
        QVERIFY(module->commands.contains("@DT05000XX\r\n"));
    }

    void averages() {
        startRun(0);
        answer(1, -80);
        answer(2, -90);
        answer(3, -100);
        answer(5, -60);
        h->advance(100 + 3 * 300);
        QCOMPARE(inside(f()).ui.Rx_RssiAve->text(), QStringLiteral("-90"));
        QCOMPARE(inside(f()).ui.AckRssiAve->text(), QStringLiteral("-70"));
        h->advance(300);   // packet 4 unanswered
        QCOMPARE(inside(f()).ui.Rx_Rssi->text(), QString());
        QCOMPARE(inside(f()).ui.Rx_RssiAve->text(), QStringLiteral("-90"));
        QCOMPARE(inside(f()).ui.FSK_Err->text(), QStringLiteral("1"));
        h->advance(300);
        QCOMPARE(inside(f()).ui.Rx_RssiAve->text(), QStringLiteral("-82.5"));
    }

    // An empty answer RSSI (its report late) is no sample: with nothing
    // stored the average stays empty, with values stored it is theirs.
    void emptyAnswerRssiIsNoSample() {
        startRun(0);
        module->answers.remove("@RS");
        answer(1, -80);
        answer(2, -80);
        answer(4, -80);
        h->advance(100 + 300);
        QCOMPARE(inside(f()).ui.AckRssi->text(), QString());
        QCOMPARE(inside(f()).ui.AckRssiAve->text(), QString());
        QCOMPARE(inside(f()).ui.Rx_RssiAve->text(), QStringLiteral("-80"));

        module->answers["@RS"] = "*RS=-78dBm\r\n";   // for packet 2, on its way
        h->advance(300);
        QCOMPARE(inside(f()).ui.AckRssiAve->text(), QStringLiteral("-78"));
        module->answers.remove("@RS");
        h->advance(300);   // packet 3 unanswered: the error empties AckRssi
        QCOMPARE(inside(f()).ui.AckRssi->text(), QString());
        h->advance(300);
        QCOMPARE(inside(f()).ui.FSK_OK->text(), QStringLiteral("3"));
        QCOMPARE(inside(f()).ui.AckRssi->text(), QString());
        QCOMPARE(inside(f()).ui.AckRssiAve->text(), QStringLiteral("-78"));
        QCOMPARE(inside(f()).ui.Rx_RssiAve->text(), QStringLiteral("-80"));
    }

    void sounds_data() {
        QTest::addColumn<double>("period");
        QTest::addColumn<int>("played");
        QTest::newRow("1999 silent") << 1999.0 << 0;
        QTest::newRow("2000") << 2000.0 << 2;
    }
    void sounds() {
        QFETCH(double, period);
        QFETCH(int, played);
        startRun(0);
        inside(f()).st.TxPeriod = period;
        answer(1, -80);
        h->advance(100 + 2 * qint64(period));
        QCOMPARE(h->sound.played.size(), played);
        if (played) {
            QCOMPARE(h->sound.played[0], h->dir() + QStringLiteral("/COMP.wav"));
            QCOMPARE(h->sound.played[1], h->dir() + QStringLiteral("/NO_COMP.wav"));
        }
    }

    void longPeriods_data() {
        QTest::addColumn<double>("period");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("subTicks");
        QTest::newRow("28999") << 28999.0 << 28999 << 0;
        QTest::newRow("29000") << 29000.0 << 29000 << 1;
        QTest::newRow("66000") << 66000.0 << 33000 << 2;
        QTest::newRow("half to even down") << 66001.0 << 33000 << 2;
        QTest::newRow("half to even up") << 66003.0 << 33002 << 2;
        // Held at 2^31 - 1 ms: 74051 firings of 29000 ms.
        QTest::newRow("absurd 1e14 held") << 1e14 << 29000 << 74051;
        QTest::newRow("largest double held") << 1.79e308 << 29000 << 74051;
    }
    void longPeriods() {
        QFETCH(double, period);
        QFETCH(int, interval);
        QFETCH(int, subTicks);
        startRun(0);
        inside(f()).st.TxPeriod = period;
        h->advance(100);
        QCOMPARE(inside(f()).Tx_Timer->interval(), interval);
        QCOMPARE(inside(f()).cycle->subTickCount(), subTicks);
        QCOMPARE(dataCommands(), 1);
        const qint64 next = subTicks ? qint64(interval) * subTicks : interval;
        if (next > 1'000'000) {
            // Weeks of Timer1 ticks are not walked: the firings that count
            // down are.
            for (int i = 1; i < subTicks; ++i) inside(f()).cycle->Tx_Timer_Timer();
            QCOMPARE(inside(f()).cycle->subTicksLeft(), 1);
            QCOMPARE(dataCommands(), 1);
            inside(f()).cycle->Tx_Timer_Timer();
            QCOMPARE(dataCommands(), 2);
            return;
        }
        h->advance(next - 1);
        QCOMPARE(dataCommands(), 1);
        h->advance(1);
        QCOMPARE(dataCommands(), 2);
    }

    void writeFailureEndsTheRun() {
        startRun(0);
        answer(1, -80);
        h->advance(100 + 30);
        dev->setFailWrites(true);
        h->advance(270);
        QVERIFY(!inside(f()).Tx_Timer->isEnabled());
        QVERIFY(!inside(f()).MSComm1->isOpen());
        h->advance(3000);
        QCOMPARE(dataCommands(), 1);
    }

    // A write that fails inside a step ends the run without re-arming, and
    // the send half of the line still names what did go out, so every count
    // in Tx_Count has its line in the log.
    void failedWriteStillLogsWhatWentOut_data() {
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<QByteArray>("failAfter");   // empty: fails from the step's first write
        QTest::addColumn<QString>("sendHalf");
        QTest::newRow("data command after @RA") << QByteArray("*FV=1.00\r\n") << QByteArray("@RA") << ",@RA[Cr][Lf],";
        QTest::newRow("@RA itself") << QByteArray("*FV=1.00\r\n") << QByteArray() << ",,";
        QTest::newRow("data command alone") << QByteArray("Version=1.00\r\n") << QByteArray() << ",,";
    }
    void failedWriteStillLogsWhatWentOut() {
        QFETCH(QByteArray, firmware);
        QFETCH(QByteArray, failAfter);
        QFETCH(QString, sendHalf);
        startRun(0, firmware);
        answer(1, -80);
        h->advance(100 + 30);
        if (failAfter.isEmpty())
            dev->setFailWrites(true);
        else
            connect(dev, &FakeDevice::received, this, [this, failAfter](const QByteArray& line) {
                if (line.startsWith(failAfter))
                    dev->setFailWrites(true);
            });
        h->advance(270);
        QCOMPARE(inside(f()).ui.Tx_Count->text(), QStringLiteral("2"));
        QVERIFY(!inside(f()).Tx_Timer->isEnabled());
        h->advance(3000);
        QCOMPARE(dataCommands(), 1);

        const QStringList lines = textfile::decode(logBytes()).split(QStringLiteral("\r\n")).filter(
            QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d,")));
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].contains(QStringLiteral("@DT05001XX[Cr][Lf],*")), qPrintable(lines[0]));
        QCOMPARE(lines[1].mid(8), sendHalf);
    }

    // The first step follows the run's start by 100 ms, also when the run
    // before had a period split into several firings and was stopped
    // between them.
    void firstStepAfterALongPeriodRun() {
        startRun(0);
        inside(f()).st.TxPeriod = 66000;
        h->advance(100);
        QCOMPARE(inside(f()).cycle->subTicksLeft(), 2);
        inside(f()).TestStartSW[0]->click();
        h->advance(1000);
        QVERIFY(inside(f()).TestStartSW[0]->isEnabled());

        dev->clearWrites();
        inside(f()).TestStartSW[0]->click();
        qint64 begun = -1;
        for (int i = 0; i < 10 && begun < 0; ++i) {
            h->advance(100);
            if (inside(f()).ui.TestStartSW_0->text() == QStringLiteral("連続送受信(送信中)"))
                begun = h->clock.milliseconds();
        }
        QVERIFY(begun > 0);
        h->advance(1000);
        qint64 firstData = -1;
        for (const FakeDevice::Write& w : dev->writes())
            if (firstData < 0 && w.bytes.startsWith("@DT"))
                firstData = w.atMs;
        QCOMPARE(firstData - begun, qint64(100));
    }

    // A fractional period holds on average: the whole-millisecond intervals
    // carry what rounding left over, 1,000 steps in virtual time.
    void fractionalPeriodOnAverage() {
        startRun(0);
        inside(f()).st.TxPeriod = 300.25;
        dev->clearWrites();
        h->advance(100 + 1000 * 301);
        QList<qint64> sent;
        for (const FakeDevice::Write& w : dev->writes())
            if (w.bytes.startsWith("@DT"))
                sent << w.atMs;
        QVERIFY(sent.size() > 1000);
        const double average = (sent[1000] - sent[0]) / 1000.0;
        QVERIFY2(std::abs(average - 300.25) < 0.01, qPrintable(QString::number(average)));
    }
};

QTEST_MAIN(CycleRunTest)
#include "cycle_run_test.moc"
