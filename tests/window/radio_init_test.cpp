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
    QColor selected() { return colourFromValue(f().st.SelectedBackColor); }
    QColor normal(QWidget* w) { return colourFromValue(f().st.NormalBackColor, QApplication::palette(w)); }
    QList<QWidget*> portControls() {
        return {f().ui.Com_Port, f().ui.ComSelectSW, f().ui.GPS_Port, f().ui.GPS_Baudrate, f().ui.GPS_SelectSW};
    }
    bool running() const { return h->form().Tx_Timer->isEnabled(); }
    void verifyStopPending() {
        QCOMPARE(f().st.RunState, 1);
        QVERIFY(!f().InitialTimer->isEnabled());
        QVERIFY(!f().Tx_Timer->isEnabled());
        QVERIFY(!f().MSComm1->isOpen());
        QCOMPARE(f().ui.TestStartSW_0->text(), RunControl::kContinuousStopping);
        QCOMPARE(f().ui.TestStartSW_1->text(), RunControl::kCountedStopping);
        QVERIFY(!f().ui.TestStartSW_0->isEnabled());
        QVERIFY(!f().ui.TestStartSW_1->isEnabled());
    }

private slots:
    void init() {
        h = std::make_unique<WindowHarness>();
        dev = h->ports.addDevice(QStringLiteral("COM3"));
        module = std::make_unique<ScriptedModule>(*h, dev);
        h->start();
        f().ui.Com_Port->setText(QStringLiteral("COM3"));
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
        f().ui.NoiseRssi->setText(QStringLiteral("-110"));
        f().ui.TestStartSW_0->click();
        QVERIFY(f().InitialTimer->isEnabled());

        tick();  // 1: port open, nothing sent
        QVERIFY(f().MSComm1->isOpen());
        QCOMPARE(dev->baudRate(), 19200);
        QVERIFY(dev->writes().isEmpty());
        QCOMPARE(f().ui.ComMessage->text(), QString());
        QCOMPARE(f().ui.TestMode->text(), QString());
        for (QWidget* w : portControls())
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QCOMPARE(f().ui.TestStartSW_0->text(), RunControl::kContinuousIdle);
        QVERIFY(f().ui.TestStartSW_0->isEnabled() && f().ui.TestStartSW_1->isEnabled());

        tick();  // 2: "@FV"
        QCOMPARE(module->commands, QList<QByteArray>{"@FV\r\n"});
        tick();  // 3: waiting
        QCOMPARE(module->commands.size(), 1);
        tick();  // 4: firmware checked, "@MO"
        QCOMPARE(f().st.FirmwareKind, kind);
        QCOMPARE(f().ui.FlorLabel->isEnabled(), kind == 2);
        QCOMPARE(f().ui.NoiseRssi->text().isEmpty(), kind < 2);
        QCOMPARE(module->commands.last(), QByteArray("@MO\r\n"));
        tick();  // 5: FSK found, "@SF"
        QCOMPARE(f().ui.TestMode->text(), QStringLiteral("FSK"));
        QCOMPARE(f().ui.Message->text(), QStringLiteral(" モードによる通信"));
        QCOMPARE(base(f().ui.FSKTxTime), selected());
        QCOMPARE(f().st.InitStep, 99);
        QCOMPARE(module->commands.last(), QByteArray("@SF\r\n"));
        QVERIFY(!running());
        tick();  // 6: the run begins
        QVERIFY(running());
        QVERIFY(!f().InitialTimer->isEnabled());
        QCOMPARE(f().ui.LogFileHedder->text(), QStringLiteral("170921_FSK Mode_"));
        QCOMPARE(f().ui.TestStartSW_0->text(), RunControl::kContinuousRunning);
        QCOMPARE(f().st.MinTxPeriod, 300.0);
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
        f().ui.TestStartSW_1->click();
        tick(5);
        QCOMPARE(f().ui.TestMode->text(), QString());   // decided at the 6th tick
        QCOMPARE(f().st.InitStep, 5);
        tick();  // 6
        QCOMPARE(f().ui.TestMode->text(), QStringLiteral("LoRa"));
        QCOMPARE(f().ui.Message->text(), message);
        QCOMPARE(f().st.SpreadingIndex, sf);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(base(f().LoRaTxTime[i]), i == sf ? selected() : normal(f().LoRaTxTime[i]));
        QCOMPARE(base(f().ui.FSKTxTime), normal(f().ui.FSKTxTime));
        QVERIFY(!running());
        tick();  // 7
        QVERIFY(running());
        QCOMPARE(f().ui.LogFileHedder->text(), header);
        QCOMPARE(f().ui.TestStartSW_1->text(), RunControl::kCountedRunning);
        QVERIFY(!f().ui.TestStartSW_0->isEnabled());
        QCOMPARE(f().st.MinTxPeriod, double(f().st.LoRaMinTxTime[sf]));
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
        f().st.MinTxPeriod = 66000;   // left from an earlier run
        f().ui.TestStartSW_0->click();
        tick(failTick - 1);
        QCOMPARE(f().st.RunState, 0);
        tick();
        QCOMPARE(f().ui.Message->text(), message);
        QCOMPARE(f().st.MinTxPeriod, 0.0);
        verifyStopPending();
        const int sent = module->commands.size();
        QCOMPARE(sent, failTick - 3);   // nothing after the failing check
        tick();  // Timer1: back to idle
        QCOMPARE(f().st.RunState, 0);
        QCOMPARE(f().ui.TestStartSW_0->text(), RunControl::kContinuousIdle);
        QVERIFY(f().ui.TestStartSW_0->isEnabled() && f().ui.TestStartSW_1->isEnabled());
        for (QWidget* w : portControls())
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
        tick(10);
        QVERIFY(!running());
        QCOMPARE(module->commands.size(), sent);
        QCOMPARE(f().ui.Message->text(), message);
    }

    void lateAnswerCountsAsMissing() {
        module->setUp(-1);
        module->delayMs = 150;   // "@FV" still in time (200 ms), "@MO" not (100 ms)
        f().ui.TestStartSW_0->click();
        tick(4);
        QCOMPARE(f().st.FirmwareKind, 2);
        QCOMPARE(f().st.RunState, 0);
        tick();
        QCOMPARE(f().ui.Message->text(), InitSequence::kNoAnswer);
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
        f().ui.Com_Port->setText(port);
        f().st.MinTxPeriod = 300;
        f().st.SendTime = h->clock.milliseconds() - 50;   // the previous run's last data command
        f().ui.TestStartSW_0->click();
        tick();
        QCOMPARE(f().ui.ComMessage->text(), InitSequence::kCheckPort);
        QCOMPARE(f().st.MinTxPeriod, 300.0);
        verifyStopPending();
        QCOMPARE(dev->openCount(), 0);
        // The stop waits for the previous run's minimum period: Timer1
        // ticks 250 ms after that data command, then 350.
        tick();
        QCOMPARE(f().st.RunState, 1);
        QCOMPARE(f().ui.KeikaTime->text(), QStringLiteral("250"));
        tick();
        QCOMPARE(f().st.RunState, 0);
        QCOMPARE(f().ui.KeikaTime->text(), QString());
        QVERIFY(dev->writes().isEmpty());
        QVERIFY(module->commands.isEmpty());
    }

    void startPressedAgainBeforeThePortOpens() {
        module->setUp(-1);
        f().ui.TestStartSW_0->click();
        h->advance(50);
        f().ui.TestStartSW_1->click();   // replaces the run kind
        QCOMPARE(f().st.RunKind, 1);
        QCOMPARE(f().st.InitStep, 0);
        h->advance(50);                  // the first tick still at 100 ms
        QVERIFY(f().MSComm1->isOpen());
        tick(5);
        QVERIFY(running());
        QCOMPARE(f().ui.TestStartSW_1->text(), RunControl::kCountedRunning);
        QCOMPARE(f().ui.TestStartSW_0->text(), RunControl::kContinuousIdle);
        QVERIFY(!f().ui.TestStartSW_0->isEnabled());
    }

    void startPressedDuringInitialisationStops() {
        module->setUp(-1);
        f().ui.TestStartSW_0->click();
        tick(3);   // port open, "@FV" sent
        f().ui.TestStartSW_0->click();
        verifyStopPending();
        QCOMPARE(module->commands.size(), 1);
        tick(5);
        QVERIFY(!running());
        QCOMPARE(module->commands.size(), 1);
    }

    void restartRepaintsThePeriodBoxes() {
        module->setUp(4);
        f().ui.TestStartSW_0->click();
        tick(7);
        QCOMPARE(base(f().LoRaTxTime[4]), selected());
        f().ui.TestStartSW_0->click();   // stop
        QCOMPARE(f().st.RunState, 1);
        h->advance(35000);               // 34000 ms minimum after "no data command yet"
        QCOMPARE(f().st.RunState, 0);
        module->setUp(-1);
        f().ui.TestStartSW_0->click();
        tick();
        for (QLineEdit* box : f().LoRaTxTime)
            QCOMPARE(base(box), normal(box));
        tick(4);
        QCOMPARE(base(f().ui.FSKTxTime), selected());
        QCOMPARE(base(f().LoRaTxTime[4]), normal(f().LoRaTxTime[4]));
    }

    void writeFailureDuringInitialisation() {
        module->setUp(-1);
        f().ui.TestStartSW_0->click();
        tick();
        dev->setFailWrites(true);
        tick();   // "@FV" cannot be written
        QCOMPARE(f().ui.ComMessage->text(), QStringLiteral("Comポート異常検出"));
        verifyStopPending();
        tick(10);
        QCOMPARE(f().st.RunState, 0);
        QVERIFY(!running());
    }
};

QTEST_MAIN(RadioInitTest)
#include "radio_init_test.moc"
