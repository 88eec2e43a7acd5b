// The module initialisation sequence, tick by tick on the virtual clock,
// against a hand-scripted module on a fake device.
#include "WindowHarness.h"
#include "common/Colours.h"
#include "looptest/RunControl.h"
#include "module/InitSequence.h"
#include "platform/Timer.h"
#include "radio_scripted_module.h"

#include <QApplication>
#include <QtTest>

class RadioInitTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowHarness> h;
    FakeDevice* dev = nullptr;
    std::unique_ptr<ScriptedModule> module;

    Form1& f() { return h->form(); }
    void tick(int n = 1) { h->advance(100 * n); }
    QColor base(QWidget* w) { return w->palette().color(QPalette::Base); }
    QColor selected() { return colourFromValue(inside(f()).st.SelectedBackColor); }
    QColor normal(QWidget* w) { return colourFromValue(inside(f()).st.NormalBackColor, QApplication::palette(w)); }
    QList<QWidget*> portControls() {
        return {inside(f()).ui.Com_Port, inside(f()).ui.ComSelectSW, inside(f()).ui.GPS_Port, inside(f()).ui.GPS_Baudrate, inside(f()).ui.GPS_SelectSW};
    }
    bool running() const { return inside(h->form()).Tx_Timer->isEnabled(); }
    void verifyStopPending() {
        QCOMPARE(inside(f()).st.RunState, 1);
        QVERIFY(!inside(f()).InitialTimer->isEnabled());
        QVERIFY(!inside(f()).Tx_Timer->isEnabled());
        QVERIFY(!inside(f()).MSComm1->isOpen());
        QCOMPARE(inside(f()).ui.TestStartSW_0->text(), RunControl::kContinuousStopping);
        QCOMPARE(inside(f()).ui.TestStartSW_1->text(), RunControl::kCountedStopping);
        QVERIFY(!inside(f()).ui.TestStartSW_0->isEnabled());
        QVERIFY(!inside(f()).ui.TestStartSW_1->isEnabled());
    }

private slots:
    void init() {
        h = std::make_unique<WindowHarness>();
        dev = h->ports.addDevice(QStringLiteral("COM3"));
        module = std::make_unique<ScriptedModule>(*h, dev);
        h->start();
        inside(f()).ui.Com_Port->setText(QStringLiteral("COM3"));
    }
    void cleanup() {
        module.reset();
        h.reset();
    }

    void fskTickByTick_data() {
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<int>("kind");
        QTest::newRow("*FV firmware") << QByteArray("*FV=1.02\r\n") << 2;
        QTest::newRow("Version= firmware") << QByteArray("Version=3.10\r\n") << 1;
        QTest::newRow("both forms") << QByteArray("Version=3.10\r\n*FV=1.02\r\n") << 2;
    }
    void fskTickByTick() {
        QFETCH(QByteArray, firmware);
        QFETCH(int, kind);
        module->setUp(-1, firmware);
        inside(f()).ui.NoiseRssi->setText(QStringLiteral("-110"));
        inside(f()).ui.TestStartSW_0->click();
        QVERIFY(inside(f()).InitialTimer->isEnabled());

        tick();  // 1: port open, nothing sent
        QVERIFY(inside(f()).MSComm1->isOpen());
        QCOMPARE(dev->baudRate(), 19200);
        QVERIFY(dev->writes().isEmpty());
        QCOMPARE(inside(f()).ui.ComMessage->text(), QString());
        QCOMPARE(inside(f()).ui.TestMode->text(), QString());
        for (QWidget* w : portControls())
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QCOMPARE(inside(f()).ui.TestStartSW_0->text(), RunControl::kContinuousIdle);
        QVERIFY(inside(f()).ui.TestStartSW_0->isEnabled() && inside(f()).ui.TestStartSW_1->isEnabled());

        tick();  // 2: "@FV"
        QCOMPARE(module->commands, QList<QByteArray>{"@FV\r\n"});
        tick();  // 3: waiting
        QCOMPARE(module->commands.size(), 1);
        tick();  // 4: firmware checked, "@MO"
        QCOMPARE(inside(f()).st.FirmwareKind, kind);
        QCOMPARE(inside(f()).ui.FlorLabel->isEnabled(), kind == 2);
        QCOMPARE(inside(f()).ui.NoiseRssi->text().isEmpty(), kind < 2);
        QCOMPARE(module->commands.last(), QByteArray("@MO\r\n"));
        tick();  // 5: FSK found, "@SF"
        QCOMPARE(inside(f()).ui.TestMode->text(), QStringLiteral("FSK"));
        QCOMPARE(inside(f()).ui.Message->text(), QStringLiteral(" モードによる通信"));
        QCOMPARE(base(inside(f()).ui.FSKTxTime), selected());
        QCOMPARE(inside(f()).st.InitStep, 99);
        QCOMPARE(module->commands.last(), QByteArray("@SF\r\n"));
        QVERIFY(!running());
        tick();  // 6: the run begins
        QVERIFY(running());
        QVERIFY(!inside(f()).InitialTimer->isEnabled());
        QCOMPARE(inside(f()).ui.LogFileHedder->text(), QStringLiteral("170921_FSK Mode_"));
        QCOMPARE(inside(f()).ui.TestStartSW_0->text(), RunControl::kContinuousRunning);
        QCOMPARE(inside(f()).st.MinTxPeriod, 300.0);
        QCOMPARE(module->commands.size(), 3);
    }

    void loraTickByTick_data() {
        QTest::addColumn<int>("sf");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("header");
        QTest::newRow("SF 0") << 0 << QStringLiteral(" 128 chipによる通信") << QStringLiteral("170921_LoRa128_");
        QTest::newRow("SF 3") << 3 << QStringLiteral(" 1024 chipによる通信") << QStringLiteral("170921_LoRa1024_");
        QTest::newRow("SF 5") << 5 << QStringLiteral(" 4096 chipによる通信") << QStringLiteral("170921_LoRa4096_");
    }
    void loraTickByTick() {
        QFETCH(int, sf);
        QFETCH(QString, message);
        QFETCH(QString, header);
        module->setUp(sf);
        inside(f()).ui.TestStartSW_1->click();
        tick(5);
        QCOMPARE(inside(f()).ui.TestMode->text(), QString());   // decided at the 6th tick
        QCOMPARE(inside(f()).st.InitStep, 5);
        tick();  // 6
        QCOMPARE(inside(f()).ui.TestMode->text(), QStringLiteral("LoRa"));
        QCOMPARE(inside(f()).ui.Message->text(), message);
        QCOMPARE(inside(f()).st.SpreadingIndex, sf);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(base(inside(f()).LoRaTxTime[i]), i == sf ? selected() : normal(inside(f()).LoRaTxTime[i]));
        QCOMPARE(base(inside(f()).ui.FSKTxTime), normal(inside(f()).ui.FSKTxTime));
        QVERIFY(!running());
        tick();  // 7
        QVERIFY(running());
        QCOMPARE(inside(f()).ui.LogFileHedder->text(), header);
        QCOMPARE(inside(f()).ui.TestStartSW_1->text(), RunControl::kCountedRunning);
        QVERIFY(!inside(f()).ui.TestStartSW_0->isEnabled());
        QCOMPARE(inside(f()).st.MinTxPeriod, double(inside(f()).st.LoRaMinTxTime[sf]));
    }

    void failures_data() {
        QTest::addColumn<QByteArray>("command");    // its answer is changed
        QTest::addColumn<QByteArray>("answer");     // empty: no answer
        QTest::addColumn<int>("failTick");
        QTest::addColumn<QString>("message");
        QTest::newRow("no firmware answer") << QByteArray("@FV") << QByteArray() << 4 << InitSequence::kNoAnswer;
        QTest::newRow("unknown firmware answer") << QByteArray("@FV") << QByteArray("*ER=01\r\n") << 4
                                                 << InitSequence::kNoAnswer;
        QTest::newRow("no mode answer") << QByteArray("@MO") << QByteArray() << 5 << InitSequence::kNoAnswer;
        QTest::newRow("other mode") << QByteArray("@MO") << QByteArray("*MO=02\r\n") << 5 << InitSequence::kNoAnswer;
        QTest::newRow("no *SF=") << QByteArray("@SF") << QByteArray() << 6 << InitSequence::kBadAnswer;
        QTest::newRow("SF 06") << QByteArray("@SF") << QByteArray("*SF=06\r\n") << 6 << InitSequence::kBadAnswer;
        QTest::newRow("SF 99") << QByteArray("@SF") << QByteArray("*SF=99\r\n") << 6 << InitSequence::kBadAnswer;
        QTest::newRow("SF -1") << QByteArray("@SF") << QByteArray("*SF=-1\r\n") << 6 << InitSequence::kBadAnswer;
    }
    void failures() {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, answer);
        QFETCH(int, failTick);
        QFETCH(QString, message);
        module->setUp(2);
        if (answer.isEmpty())
            module->answers.remove(command);
        else
            module->answers[command] = answer;
        inside(f()).st.MinTxPeriod = 66000;   // left from an earlier run
        inside(f()).ui.TestStartSW_0->click();
        tick(failTick - 1);
        QCOMPARE(inside(f()).st.RunState, 0);
        tick();
        QCOMPARE(inside(f()).ui.Message->text(), message);
        QCOMPARE(inside(f()).st.MinTxPeriod, 0.0);
        verifyStopPending();
        const int sent = module->commands.size();
        QCOMPARE(sent, failTick - 3);   // nothing after the failing check
        tick();  // Timer1: back to idle
        QCOMPARE(inside(f()).st.RunState, 0);
        QCOMPARE(inside(f()).ui.TestStartSW_0->text(), RunControl::kContinuousIdle);
        QVERIFY(inside(f()).ui.TestStartSW_0->isEnabled() && inside(f()).ui.TestStartSW_1->isEnabled());
        for (QWidget* w : portControls())
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
        tick(10);
        QVERIFY(!running());
        QCOMPARE(module->commands.size(), sent);
        QCOMPARE(inside(f()).ui.Message->text(), message);
    }

    void lateAnswerCountsAsMissing() {
        module->setUp(-1);
        module->delayMs = 150;   // "@FV" still in time (200 ms), "@MO" not (100 ms)
        inside(f()).ui.TestStartSW_0->click();
        tick(4);
        QCOMPARE(inside(f()).st.FirmwareKind, 2);
        QCOMPARE(inside(f()).st.RunState, 0);
        tick();
        QCOMPARE(inside(f()).ui.Message->text(), InitSequence::kNoAnswer);
        verifyStopPending();
    }

    void portUnusable_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("busy");
        QTest::newRow("missing") << QStringLiteral("COM9") << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("busy") << QStringLiteral("COM3") << true;
    }
    void portUnusable() {
        QFETCH(QString, port);
        QFETCH(bool, busy);
        module->setUp(-1);
        dev->setBusy(busy);
        inside(f()).ui.Com_Port->setText(port);
        inside(f()).st.MinTxPeriod = 300;
        inside(f()).st.SendTime = h->clock.milliseconds() - 50;   // the previous run's last data command
        inside(f()).ui.TestStartSW_0->click();
        tick();
        QCOMPARE(inside(f()).ui.ComMessage->text(), InitSequence::kCheckPort);
        QCOMPARE(inside(f()).st.MinTxPeriod, 300.0);
        verifyStopPending();
        QCOMPARE(dev->openCount(), 0);
        // The stop waits for the previous run's minimum period: Timer1
        // ticks 250 ms after that data command, then 350.
        tick();
        QCOMPARE(inside(f()).st.RunState, 1);
        QCOMPARE(inside(f()).ui.KeikaTime->text(), QStringLiteral("250"));
        tick();
        QCOMPARE(inside(f()).st.RunState, 0);
        QCOMPARE(inside(f()).ui.KeikaTime->text(), QString());
        QVERIFY(dev->writes().isEmpty());
        QVERIFY(module->commands.isEmpty());
    }

    void startPressedAgainBeforeThePortOpens() {
        module->setUp(-1);
        inside(f()).ui.TestStartSW_0->click();
        h->advance(50);
        inside(f()).ui.TestStartSW_1->click();   // replaces the run kind
        QCOMPARE(inside(f()).st.RunKind, 1);
        QCOMPARE(inside(f()).st.InitStep, 0);
        h->advance(50);                  // the first tick still at 100 ms
        QVERIFY(inside(f()).MSComm1->isOpen());
        tick(5);
        QVERIFY(running());
        QCOMPARE(inside(f()).ui.TestStartSW_1->text(), RunControl::kCountedRunning);
        QCOMPARE(inside(f()).ui.TestStartSW_0->text(), RunControl::kContinuousIdle);
        QVERIFY(!inside(f()).ui.TestStartSW_0->isEnabled());
    }

    void startPressedDuringInitialisationStops() {
        module->setUp(-1);
        inside(f()).ui.TestStartSW_0->click();
        tick(3);   // port open, "@FV" sent
        inside(f()).ui.TestStartSW_0->click();
        verifyStopPending();
        QCOMPARE(module->commands.size(), 1);
        tick(5);
        QVERIFY(!running());
        QCOMPARE(module->commands.size(), 1);
    }

    void restartRepaintsThePeriodBoxes() {
        module->setUp(4);
        inside(f()).ui.TestStartSW_0->click();
        tick(7);
        QCOMPARE(base(inside(f()).LoRaTxTime[4]), selected());
        inside(f()).ui.TestStartSW_0->click();   // stop
        QCOMPARE(inside(f()).st.RunState, 1);
        h->advance(35000);               // 34000 ms minimum after "no data command yet"
        QCOMPARE(inside(f()).st.RunState, 0);
        module->setUp(-1);
        inside(f()).ui.TestStartSW_0->click();
        tick();
        for (QLineEdit* box : inside(f()).LoRaTxTime)
            QCOMPARE(base(box), normal(box));
        tick(4);
        QCOMPARE(base(inside(f()).ui.FSKTxTime), selected());
        QCOMPARE(base(inside(f()).LoRaTxTime[4]), normal(inside(f()).LoRaTxTime[4]));
    }

    void writeFailureDuringInitialisation() {
        module->setUp(-1);
        inside(f()).ui.TestStartSW_0->click();
        tick();
        dev->setFailWrites(true);
        tick();   // "@FV" cannot be written
        QCOMPARE(inside(f()).ui.ComMessage->text(), QStringLiteral("Comポート異常検出"));
        verifyStopPending();
        tick(10);
        QCOMPARE(inside(f()).st.RunState, 0);
        QVERIFY(!running());
    }
};

QTEST_MAIN(RadioInitTest)
#include "radio_init_test.moc"
