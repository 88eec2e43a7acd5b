// The radio side of a run on the real stack: the window with the system
// clock, real timers and QSerialPort, against the module simulator on a
// pseudo-terminal.
#include "E2eStack.h"
#include "looptest/RunControl.h"
#include "module/InitSequence.h"
#include "platform/Timer.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QtTest>

using namespace e2e;

class RadioE2eTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        if (!QFileInfo::exists(qEnvironmentVariable("QVX_BIN_DIR") + QStringLiteral("/qvx-sim")))
            QSKIP("qvx-sim is not built");
    }

    void initialisationSucceeds_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("message");
        QTest::newRow("FSK") << QStringList{QStringLiteral("--mode"), QStringLiteral("fsk")} << QStringLiteral("FSK")
                             << QStringLiteral(" モードによる通信");
        QTest::newRow("LoRa 512") << QStringList{QStringLiteral("--mode"), QStringLiteral("lora"), QStringLiteral("--sf"),
                                                 QStringLiteral("2")}
                                  << QStringLiteral("LoRa") << QStringLiteral(" 512 chipによる通信");
    }
    void initialisationSucceeds() {
        QFETCH(QStringList, options);
        QFETCH(QString, mode);
        QFETCH(QString, message);
        Simulator sim(options);
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        RealStack app;
        Form1& f = *app.form;
        inside(f).ui.Com_Port->setText(sim.path());
        inside(f).ui.TestStartSW_0->click();
        QTRY_VERIFY_WITH_TIMEOUT(inside(f).Tx_Timer->isEnabled() || inside(f).st.RunState != 0, kTimeoutMs);
        QCOMPARE(inside(f).st.RunState, 0);
        QCOMPARE(inside(f).ui.TestMode->text(), mode);
        QCOMPARE(inside(f).ui.Message->text(), message);
        QCOMPARE(inside(f).ui.TestStartSW_0->text(), RunControl::kContinuousRunning);
        QVERIFY(inside(f).ui.LogFileHedder->text().contains(mode == QStringLiteral("FSK") ? QStringLiteral("_FSK Mode_")
                                                                                  : QStringLiteral("_LoRa512_")));
        // Stopped by the operator: the window returns to idle.
        inside(f).ui.TestStartSW_0->click();
        QCOMPARE(inside(f).st.RunState, 1);
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).st.RunState, 0, kTimeoutMs);
        QCOMPARE(inside(f).ui.TestStartSW_0->text(), RunControl::kContinuousIdle);
        QVERIFY(!inside(f).MSComm1->isOpen());
    }

    void initialisationFails() {
        Simulator sim({QStringLiteral("--mode"), QStringLiteral("fsk"), QStringLiteral("--no-mode-answer")});
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        RealStack app;
        Form1& f = *app.form;
        inside(f).ui.Com_Port->setText(sim.path());
        inside(f).ui.TestStartSW_0->click();
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.Message->text(), InitSequence::kNoAnswer, kTimeoutMs);
        QVERIFY(!inside(f).Tx_Timer->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).st.RunState, 0, kTimeoutMs);
        QCOMPARE(inside(f).ui.TestStartSW_0->text(), RunControl::kContinuousIdle);
        QVERIFY(inside(f).ui.Com_Port->isEnabled());
        QVERIFY(!inside(f).Tx_Timer->isEnabled());
    }

    void portVanishes() {
        Simulator sim({QStringLiteral("--mode"), QStringLiteral("fsk"), QStringLiteral("--close-after"),
                       QStringLiteral("3")});
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        RealStack app;
        Form1& f = *app.form;
        inside(f).ui.Com_Port->setText(sim.path());
        inside(f).ui.TestStartSW_0->click();
        QTRY_VERIFY_WITH_TIMEOUT(inside(f).Tx_Timer->isEnabled(), kTimeoutMs);
        if (!QTest::qWaitFor([&] { return inside(f).ui.Tx_Count->text() != QStringLiteral("0") || !inside(f).MSComm1->isOpen(); },
                             5000))
            QSKIP("the test cycle sends no data commands");
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.ComMessage->text(), QStringLiteral("Comポート異常検出"), kTimeoutMs);
        QVERIFY(!inside(f).Tx_Timer->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).st.RunState, 0, kTimeoutMs);
        QCOMPARE(inside(f).ui.TestStartSW_0->text(), RunControl::kContinuousIdle);
        QVERIFY(!inside(f).MSComm1->isOpen());
    }

    // In the middle of a long period (LoRa 128 chips, 3700 ms) the adapter
    // goes: the window shows it and stops the run at once, instead of
    // showing "(送信中)" until the next step's write fails.
    void portVanishesMidPeriod() {
        Simulator sim({QStringLiteral("--mode"), QStringLiteral("lora"), QStringLiteral("--close-after"),
                       QStringLiteral("1")});
        QVERIFY2(!sim.path().isEmpty(), qPrintable(sim.errors()));
        RealStack app;
        Form1& f = *app.form;
        inside(f).ui.Com_Port->setText(sim.path());
        inside(f).ui.TestStartSW_0->click();
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.Tx_Count->text(), QStringLiteral("1"), kTimeoutMs);
        QElapsedTimer since;
        since.start();
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.ComMessage->text(), QStringLiteral("Comポート異常検出"), 3000);
        QVERIFY2(since.elapsed() < 1500, qPrintable(QString::number(since.elapsed())));
        QCOMPARE(inside(f).ui.TestStartSW_0->text(), RunControl::kContinuousStopping);
        QVERIFY(!inside(f).Tx_Timer->isEnabled());
        QCOMPARE(inside(f).ui.Tx_Count->text(), QStringLiteral("1"));
    }
};

QTEST_MAIN(RadioE2eTest)
#include "radio_e2e_test.moc"
