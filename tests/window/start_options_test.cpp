// The program's command-line options: what is refused, and what a parsed set
// writes into the window before any run starts.
#include "WindowHarness.h"
#include "common/TextFile.h"
#include "platform/SerialPort.h"
#include "platform/Timer.h"
#include "shell/SettingsCodec.h"
#include "shell/StartOptions.h"

#include <QtTest>

class StartOptionsTest : public QObject {
    Q_OBJECT

    static bool parse(const QStringList& args, StartOptions& o, QString& error) {
        return o.parse(QStringList{QStringLiteral("qvx-loopback")} + args, &error);
    }

private slots:
    void refusedCombinations_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("count not a number") << QStringList{"--count", "ten"} << "--count needs a whole number of packets from 1: ten";
        QTest::newRow("count zero") << QStringList{"--count", "0"} << "--count needs a whole number of packets from 1: 0";
        QTest::newRow("count negative") << QStringList{"--count=-3"} << "--count needs a whole number of packets from 1: -3";
        QTest::newRow("start and count") << QStringList{"--start", "--count", "5"} << "--start and --count exclude each other";
        QTest::newRow("quit without count") << QStringList{"--start", "--quit"} << "--quit and --screenshot need a counted run (--count N)";
        QTest::newRow("screenshot without count") << QStringList{"--screenshot", "a.png"} << "--quit and --screenshot need a counted run (--count N)";
        QTest::newRow("baud without port") << QStringList{"--gps-baud", "9600"} << "--gps-baud needs --gps-port";
        QTest::newRow("jsonl to a file") << QStringList{"--jsonl", "out.jsonl"} << "--jsonl takes - (standard output); with File保存 the stream is also written beside the log: out.jsonl";
        QTest::newRow("empty data folder") << QStringList{"--data-dir="} << "--data-dir needs a folder";
    }
    void refusedCombinations() {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        StartOptions o;
        QString got;
        QVERIFY(!parse(args, o, got));
        QCOMPARE(got, error);
    }

    void noOptionsLeaveTheWindowAsSaved() {
        StartOptions o;
        QString error;
        QVERIFY(parse({}, o, error));
        QVERIFY(!o.runRequested());
        WindowHarness h;
        Form1& f = h.start();
        const QString port = inside(f).ui.Com_Port->text();
        const bool logging = inside(f).ui.LogFile_Flg->isChecked();
        f.startDriver(o);
        QCoreApplication::processEvents();
        QCOMPARE(inside(f).ui.Com_Port->text(), port);
        QCOMPARE(inside(f).ui.LogFile_Flg->isChecked(), logging);
        QVERIFY(!inside(f).ui.GPS_On->isChecked());
        QVERIFY(!inside(f).Tx_Timer->isEnabled());
    }

    void portsAndLogNamesAreWrittenIn() {
        StartOptions o;
        QString error;
        QVERIFY(parse({"--port", "COM7", "--gps-port", "COM9", "--gps-baud", "9600", "--log", "site3"}, o, error));
        WindowHarness h;
        h.ports.addDevice(QStringLiteral("COM9"));
        Form1& f = h.start();
        f.startDriver(o);
        QCoreApplication::processEvents();
        QCOMPARE(inside(f).ui.Com_Port->text(), QStringLiteral("COM7"));
        QCOMPARE(inside(f).ui.GPS_Port->text(), QStringLiteral("COM9"));
        QCOMPARE(inside(f).ui.GPS_Baudrate->currentText(), QStringLiteral("9600"));
        QVERIFY(inside(f).ui.GPS_On->isChecked());
        QVERIFY(inside(f).MSComm2->isOpen());
        QVERIFY(inside(f).ui.LogFile_Flg->isChecked());
        QCOMPARE(inside(f).ui.LogFileName->text(), QStringLiteral("site3"));
        QCOMPARE(inside(f).ui.MapFileName->text(), QStringLiteral("site3"));
        // No run was asked for: none starts.
        QVERIFY(!inside(f).MSComm1->isOpen());
    }

    // The ports, the GPS speed and the run length given on the command line
    // are for this start: the settings file keeps the operator's own values,
    // except for a field the operator changed in the window afterwards.
    void optionsAreForThisStartOnly() {
        WindowHarness h;
        h.ports.addDevice(QStringLiteral("COM9"));
        QVERIFY(textfile::write(h.settingsPath(), QStringLiteral(
            "Tx_Com       ,COM3  ,x\r\nGPS_Com      ,COM5  ,x\r\nGPS_Baudrate ,4800  ,x\r\nTX_CnEnd     ,100  ,x\r\n")));
        StartOptions o;
        QString error;
        QVERIFY(parse({"--port", "COM7", "--gps-port", "COM9", "--gps-baud", "19200", "--count", "3"}, o, error));
        Form1& f = h.start();
        f.startDriver(o);
        QCoreApplication::processEvents();
        QCOMPARE(inside(f).ui.Com_Port->text(), QStringLiteral("COM7"));
        QCOMPARE(inside(f).ui.GPS_Port->text(), QStringLiteral("COM9"));
        QCOMPARE(inside(f).ui.GPS_Baudrate->currentText(), QStringLiteral("19200"));
        QCOMPARE(inside(f).ui.Tx_CnEnd->text(), QStringLiteral("3"));
        inside(f).ui.Tx_CnEnd->setText(QStringLiteral("50"));   // by hand
        h.close();

        QString text;
        QVERIFY(textfile::read(h.settingsPath(), &text));
        QMap<QString, QString> saved;
        for (const auto& [key, value] : settingscodec::read(text))
            saved[key] = value;
        QCOMPARE(saved.value("Tx_Com"), QStringLiteral("COM3"));
        QCOMPARE(saved.value("GPS_Com"), QStringLiteral("COM5"));
        QCOMPARE(saved.value("GPS_Baudrate"), QStringLiteral("4800"));
        QCOMPARE(saved.value("TX_CnEnd"), QStringLiteral("50"));
    }
};

QTEST_MAIN(StartOptionsTest)
#include "start_options_test.moc"
