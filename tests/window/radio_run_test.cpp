// Run start and stop: the run buttons' four states, BeginTestRun's
// preparations, the stop-pending state and its length, the elapsed time
// across the millisecond counter's wrap, and what the run control tells the
// outside (runStarted, runEnded) for every way a run attempt ends.
#include "WindowHarness.h"
#include "common/Colours.h"
#include "common/TextFile.h"
#include "looptest/RssiGraph.h"
#include "looptest/RunControl.h"
#include "platform/Timer.h"
#include "ports/RadioChannel.h"
#include "radio_scripted_module.h"
#include "results/LogWriters.h"
#include "module/InitSequence.h"

#include <QtTest>

namespace {
// Ways a counted run of 3 can go.
enum Ending { Completes, NoModeAnswer, SpreadingOutOfRange, NoSuchPort, WriteFailsInInit, WriteFailsInRun,
              PortVanishesInRun, OperatorStops };
}

class RadioRunTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowHarness> h;
    FakeDevice* dev = nullptr;
    std::unique_ptr<ScriptedModule> module;

    Form1& f() { return h->form(); }
    void tick(int n = 1) { h->advance(100 * n); }

    void make(qint64 startMs = 1'000'000) {
        module.reset();
        h = std::make_unique<WindowHarness>();
        h->clock.advanceTo(startMs);
        dev = h->ports.addDevice(QStringLiteral("COM3"));
        module = std::make_unique<ScriptedModule>(*h, dev);
        h->start();
        inside(f()).ui.Com_Port->setText(QStringLiteral("COM3"));
    }
    // Initialises and starts a run; spreading < 0 is FSK.
    void startRun(int spreading, int button = 0) {
        module->setUp(spreading);
        inside(f()).TestStartSW[button]->click();
        tick(spreading < 0 ? 6 : 7);
        QVERIFY(inside(f()).Tx_Timer->isEnabled());
    }
    // A data command goes out now (what the test cycle notes about it).
    void dataCommandNow() { inside(f()).st.SendTime = h->clock.milliseconds(); }

    struct Buttons {
        QString caption0;
        bool enabled0;
        QString caption1;
        bool enabled1;
    };
    void verifyButtons(const Buttons& b) {
        QCOMPARE(inside(f()).ui.TestStartSW_0->text(), b.caption0);
        QCOMPARE(inside(f()).ui.TestStartSW_0->isEnabled(), b.enabled0);
        QCOMPARE(inside(f()).ui.TestStartSW_1->text(), b.caption1);
        QCOMPARE(inside(f()).ui.TestStartSW_1->isEnabled(), b.enabled1);
    }
    const Buttons idle{RunControl::kContinuousIdle, true, RunControl::kCountedIdle, true};
    const Buttons stopping{RunControl::kContinuousStopping, false, RunControl::kCountedStopping, false};

private slots:
    void init() { make(); }
    void cleanup() {
        module.reset();
        h.reset();
    }

    void buttonStates_data() {
        QTest::addColumn<int>("button");
        QTest::newRow("continuous") << 0;
        QTest::newRow("counted") << 1;
    }
    void buttonStates() {
        QFETCH(int, button);
        verifyButtons(idle);
        startRun(-1, button);
        QCOMPARE(inside(f()).st.RunKind, button);
        if (button == 0)
            verifyButtons({RunControl::kContinuousRunning, true, RunControl::kCountedIdle, false});
        else
            verifyButtons({RunControl::kContinuousIdle, false, RunControl::kCountedRunning, true});
        for (int i = 1; i <= 6; ++i)
            QVERIFY(!inside(f()).Frame[i]->isEnabled());
        inside(f()).TestStartSW[button]->click();
        verifyButtons(stopping);
        QVERIFY(!inside(f()).MSComm1->isOpen());
        QVERIFY(!inside(f()).Tx_Timer->isEnabled());
        tick(5);   // no data command in this test: the stop completes at once
        verifyButtons(idle);
        for (int i = 1; i <= 6; ++i)
            QVERIFY(inside(f()).Frame[i]->isEnabled());
        QVERIFY(!inside(f()).Timer1->isEnabled());
        QCOMPARE(inside(f()).ui.KeikaTime->text(), QString());
    }

    void beginFsk() {
        inside(f()).ui.TestMode->setText(QStringLiteral("FSK"));
        inside(f()).ui.FSKTxTime->setText(QStringLiteral("450"));
        inside(f()).ui.Tx_Count->setText(QStringLiteral("17"));
        inside(f()).ui.FSK_OK->setText(QStringLiteral("15"));
        inside(f()).ui.FSK_Err->setText(QStringLiteral("2"));
        inside(f()).ui.FSKData->setText(QStringLiteral("017"));
        inside(f()).ui.RxText->setPlainText(QStringLiteral("*RS=-70dBm"));
        inside(f()).ui.RxData->setText(QStringLiteral("2A "));
        inside(f()).st.RxRssiHistory.fill(QStringLiteral("-80"));
        inside(f()).st.AckRssiHistory.fill(QStringLiteral("-81"));
        inside(f()).st.ResultPending = 1;
        inside(f()).st.RunState = 1;
        inside(f()).ui.LogFileName->setText(QStringLiteral("t"));
        inside(f()).run->BeginTestRun();

        QCOMPARE(inside(f()).ui.LogFileHedder->text(), QStringLiteral("170921_FSK Mode_"));
        QCOMPARE(inside(f()).ui.MapFileHedder->text(), QStringLiteral("170921_FSK Mode_Map_"));
        QCOMPARE(inside(f()).st.TxPeriod, 450.0);
        QCOMPARE(inside(f()).st.MinTxPeriod, 300.0);
        QCOMPARE(inside(f()).ui.Tx_Count->text(), QStringLiteral("0"));
        QCOMPARE(inside(f()).ui.FSK_OK->text(), QStringLiteral("0"));
        QCOMPARE(inside(f()).ui.FSK_Err->text(), QStringLiteral("0"));
        QCOMPARE(inside(f()).ui.FSKData->text(), QStringLiteral("000"));
        QCOMPARE(inside(f()).ui.RxText->toPlainText(), QString());
        QCOMPARE(inside(f()).ui.RxData->text(), QString());
        QCOMPARE(inside(f()).ui.RxTimeHist->toPlainText(), QString());
        for (int i = 0; i < 10; ++i)
            QVERIFY(inside(f()).st.RxRssiHistory[i].isEmpty() && inside(f()).st.AckRssiHistory[i].isEmpty());
        QCOMPARE(inside(f()).st.ResultPending, 0);
        QCOMPARE(inside(f()).st.RunState, 0);
        QCOMPARE(inside(f()).Tx_Timer->interval(), 100);
        QVERIFY(inside(f()).Tx_Timer->isEnabled());
        QVERIFY(inside(f()).Timer1->isEnabled());

        const QString log = QStringLiteral("\r\n-------< Start:2017/09/21 13:05:09 > -------\r\n") +
                            RunControl::kColumnHeads;
        QCOMPARE(inside(f()).logs->commLogText(), log);
        QString onDisk;
        QVERIFY(textfile::read(h->path(QStringLiteral("170921_FSK Mode_t.log")), &onDisk));
        QCOMPARE(onDisk, log);

        // The graph starts empty: every pixel in the background colour.
        const QImage& img = inside(f()).ui.Picture1->image();
        QVERIFY(!img.isNull());
        const QRgb back = colourFromValue(inside(f()).st.GraphBackColor).rgb();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                QCOMPARE(img.pixel(x, y), back);
    }

    void beginLora4096() {
        inside(f()).ui.TestMode->setText(QStringLiteral("LoRa"));
        inside(f()).st.SpreadingIndex = 5;
        inside(f()).LoRaTxTime[5]->setText(QStringLiteral("80000"));
        inside(f()).run->BeginTestRun();
        QVERIFY(inside(f()).ui.LogFileHedder->text().endsWith(QStringLiteral("_LoRa4096_")));
        QCOMPARE(inside(f()).ui.MapFileHedder->text(), QStringLiteral("170921_LoRa4096_Map_"));
        QCOMPARE(inside(f()).st.TxPeriod, 80000.0);
        QCOMPARE(inside(f()).st.MinTxPeriod, 66000.0);
    }

    void stopPendingFsk() {
        startRun(-1);
        dataCommandNow();
        h->advance(50);      // stop pressed 50 ms after the data command
        inside(f()).ui.TestStartSW_0->click();
        verifyButtons(stopping);
        const qint64 sentAt = h->clock.nowMs() - 50;
        // Timer1 keeps its pace (ticks 100, 200, 300 ms after the command).
        h->clock.advanceTo(sentAt + 299);
        QCOMPARE(inside(f()).st.RunState, 1);
        QCOMPARE(inside(f()).ui.KeikaTime->text(), QStringLiteral("200"));
        verifyButtons(stopping);
        h->clock.advanceTo(sentAt + 300);
        QCOMPARE(inside(f()).st.RunState, 0);
        QCOMPARE(inside(f()).ui.KeikaTime->text(), QString());
        verifyButtons(idle);
    }

    void stopPendingLora4096() {
        startRun(5);
        dataCommandNow();
        const qint64 sentAt = h->clock.nowMs();
        h->advance(50);
        inside(f()).ui.TestStartSW_0->click();
        verifyButtons(stopping);
        h->clock.advanceTo(sentAt + 65999);
        QCOMPARE(inside(f()).st.RunState, 1);
        QCOMPARE(inside(f()).ui.KeikaTime->text(), QStringLiteral("65900"));
        verifyButtons(stopping);
        QVERIFY(!inside(f()).ui.Com_Port->isEnabled());
        h->clock.advanceTo(sentAt + 66000);
        QCOMPARE(inside(f()).st.RunState, 0);
        verifyButtons(idle);
        QVERIFY(inside(f()).ui.Com_Port->isEnabled());
    }

    void gpsInUseKeepsItsControlsLocked_data() {
        QTest::addColumn<bool>("gps");
        QTest::newRow("GPS off") << false;
        QTest::newRow("GPS on") << true;
    }
    void gpsInUseKeepsItsControlsLocked() {
        QFETCH(bool, gps);
        startRun(-1);
        inside(f()).ui.GPS_On->blockSignals(true);   // the GPS channel's handler is not under test
        inside(f()).ui.GPS_On->setChecked(gps);
        inside(f()).ui.GPS_On->blockSignals(false);
        inside(f()).run->StopTestRun();
        tick(5);
        QCOMPARE(inside(f()).st.RunState, 0);
        QVERIFY(inside(f()).ui.Com_Port->isEnabled() && inside(f()).ui.ComSelectSW->isEnabled());
        QCOMPARE(inside(f()).ui.GPS_Port->isEnabled(), !gps);
        QCOMPARE(inside(f()).ui.GPS_Baudrate->isEnabled(), !gps);
        QCOMPARE(inside(f()).ui.GPS_SelectSW->isEnabled(), !gps);
    }

    void stopWithThePortClosed() {
        QVERIFY(!inside(f()).MSComm1->isOpen());
        inside(f()).InitialTimer->setEnabled(true);
        inside(f()).Tx_Timer->setEnabled(true);
        inside(f()).run->StopTestRun();
        verifyButtons(stopping);
        QCOMPARE(inside(f()).st.RunState, 1);
        QVERIFY(!inside(f()).InitialTimer->isEnabled());
        QVERIFY(!inside(f()).Tx_Timer->isEnabled());
        QVERIFY(inside(f()).Timer1->isEnabled());
    }

    void idleLeavesKeikaTimeAlone() {
        tick(20);
        QCOMPARE(inside(f()).ui.KeikaTime->text(), QString());
        QVERIFY(!inside(f()).Timer1->isEnabled());
    }

    void startPressWhileStopPendingDoesNothing() {
        startRun(-1);
        dataCommandNow();
        inside(f()).ui.TestStartSW_0->click();
        inside(f()).ui.TestStartSW_0->click();   // disabled: nothing
        inside(f()).run->TestStartSW_Click(0);   // and even when called: the stop stays pending
        QCOMPARE(inside(f()).st.RunState, 1);
        QVERIFY(!inside(f()).InitialTimer->isEnabled());
    }

    void portListHiddenOnStart() {
        inside(f()).ui.Com_PortList->move(10, 10);
        inside(f()).ui.Com_PortList->setEnabled(true);
        module->setUp(-1);
        inside(f()).ui.TestStartSW_0->click();
        QCOMPARE(inside(f()).ui.Com_PortList->y(), -200);
        QVERIFY(!inside(f()).ui.Com_PortList->isEnabled());
    }

    void elapsedAcrossTheCounterWrap_data() {
        // The stop-pending time straddles the point where the counter turns
        // negative (2^31) or back to zero (2^32).
        QTest::addColumn<qint64>("start");
        QTest::addColumn<int>("spreading");
        QTest::newRow("2^31, FSK") << (qint64(1) << 31) - 700 << -1;
        QTest::newRow("2^32, FSK") << (qint64(1) << 32) - 700 << -1;
        QTest::newRow("2^31, LoRa 4096") << (qint64(1) << 31) - 30000 << 5;
        QTest::newRow("2^32, LoRa 4096") << (qint64(1) << 32) - 30000 << 5;
    }
    void elapsedAcrossTheCounterWrap() {
        QFETCH(qint64, start);
        QFETCH(int, spreading);
        make(start);
        startRun(spreading);
        const int minimum = spreading < 0 ? 300 : 66000;
        dataCommandNow();
        const qint64 sentAt = h->clock.nowMs();
        h->advance(10);
        inside(f()).ui.TestStartSW_0->click();
        for (int k = 1; k * 100 < minimum; ++k) {
            h->clock.advanceTo(sentAt + 100 * k);
            QCOMPARE(inside(f()).st.RunState, 1);
            QCOMPARE(inside(f()).ui.KeikaTime->text(), QString::number(100 * k));
        }
        h->clock.advanceTo(sentAt + minimum);
        QCOMPARE(inside(f()).st.RunState, 0);
        verifyButtons(idle);
    }

    void failedInitialisationBeforeAnyDataCommand_data() {
        QTest::addColumn<qint64>("start");
        QTest::newRow("counter positive") << qint64(1'000'000);
        QTest::newRow("counter negative") << (qint64(1) << 31) + 5000;
    }
    void failedInitialisationBeforeAnyDataCommand() {
        // SendTime is 0 until the first data command, whatever the counter
        // reads; a stop after a missing answer still takes one tick.
        QFETCH(qint64, start);
        make(start);
        module->setUp(-1);
        module->answers.remove("@MO");
        inside(f()).ui.TestStartSW_0->click();
        tick(5);
        QCOMPARE(inside(f()).st.RunState, 1);
        tick();
        QCOMPARE(inside(f()).st.RunState, 0);
        verifyButtons(idle);
    }

    // Every attempt ends in exactly one runEnded, whose cause and message say
    // what the window shows; only a run that got past its initialisation has
    // a runStarted before it. A port that vanishes is handled at once, like
    // a failed write, without waiting for the next step to write.
    void runTellsHowItEnded_data() {
        QTest::addColumn<int>("ending");
        QTest::addColumn<int>("cause");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("sent");
        using C = records::EndCause;
        const QString lost = QStringLiteral("Comポート異常検出");
        QTest::newRow("all sent") << int(Completes) << int(C::Completed) << QString() << 3;
        QTest::newRow("no mode answer") << int(NoModeAnswer) << int(C::InitFailed) << InitSequence::kNoAnswer << 0;
        QTest::newRow("spreading 07") << int(SpreadingOutOfRange) << int(C::InitFailed) << InitSequence::kBadAnswer << 0;
        QTest::newRow("no such port") << int(NoSuchPort) << int(C::InitFailed) << InitSequence::kCheckPort << 0;
        QTest::newRow("write fails in init") << int(WriteFailsInInit) << int(C::InitFailed) << lost << 0;
        QTest::newRow("write fails in run") << int(WriteFailsInRun) << int(C::WriteFailed) << lost << 1;
        QTest::newRow("port vanishes") << int(PortVanishesInRun) << int(C::WriteFailed) << lost << 1;
        QTest::newRow("operator stops") << int(OperatorStops) << int(C::Operator) << QString() << 1;
    }
    void runTellsHowItEnded() {
        QFETCH(int, ending);
        QFETCH(int, cause);
        QFETCH(QString, message);
        QFETCH(int, sent);
        QList<records::RunStart> starts;
        QList<records::RunEnd> ends;
        connect(inside(f()).run.get(), &RunControl::runStarted, this, [&](const records::RunStart& s) { starts << s; });
        connect(inside(f()).run.get(), &RunControl::runEnded, this, [&](const records::RunEnd& e) { ends << e; });
        module->setUp(ending == SpreadingOutOfRange ? 7 : -1);
        if (ending == NoModeAnswer)
            module->answers.remove("@MO");
        if (ending == NoSuchPort)
            inside(f()).ui.Com_Port->setText(QStringLiteral("COM9"));
        if (ending == WriteFailsInInit)
            connect(dev, &FakeDevice::received, this, [this](const QByteArray& line) {
                if (line.startsWith("@MO"))
                    dev->setFailWrites(true);   // "@SF" is the write that fails
            });
        inside(f()).ui.Tx_CnEnd->setText(QStringLiteral("3"));
        inside(f()).TestStartSW[1]->click();
        tick(7);
        const bool runs = ending >= WriteFailsInRun || ending == Completes;
        QCOMPARE(starts.size(), runs ? 1 : 0);
        if (ending >= WriteFailsInRun) {
            tick();   // packet 1 went out
            if (ending == WriteFailsInRun) {
                dev->setFailWrites(true);
                tick(3);
            } else if (ending == PortVanishesInRun) {
                dev->unplug();
                // At once, not at the next step's write.
                QCOMPARE(inside(f()).ui.ComMessage->text(), message);
                QCOMPARE(inside(f()).st.RunState, 1);
                QVERIFY(!inside(f()).Tx_Timer->isEnabled());
                QCOMPARE(inside(f()).ui.TestStartSW_1->text(), RunControl::kCountedStopping);
            } else {
                inside(f()).TestStartSW[1]->click();
            }
        }
        h->advance(5000);
        QCOMPARE(ends.size(), 1);
        QCOMPARE(int(ends[0].cause), cause);
        QCOMPARE(ends[0].message, message);
        QCOMPARE(ends[0].sent, std::int64_t(sent));
        QCOMPARE(inside(f()).st.RunState, 0);
        verifyButtons(idle);
        if (runs) {
            QCOMPARE(ends[0].runId, starts[0].runId);
            QCOMPARE(starts[0].kind, records::RunKind::Counted);
            QCOMPARE(starts[0].length, std::int64_t(3));
            QCOMPARE(starts[0].port, QStringLiteral("COM3"));
            QCOMPARE(starts[0].periodMs, 300.0);
        }
        // The next attempt is a run of its own.
        inside(f()).ui.Com_Port->setText(QStringLiteral("COM9"));
        inside(f()).TestStartSW[0]->click();
        tick(2);
        QCOMPARE(ends.size(), 2);
        QCOMPARE(ends[1].runId, ends[0].runId + 1);
    }
};

QTEST_MAIN(RadioRunTest)
#include "radio_run_test.moc"
