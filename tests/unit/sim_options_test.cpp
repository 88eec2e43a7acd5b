// The qvx-sim command line: options to settings, and refused values.
#include "SimOptions.h"

#include <QtTest>

class SimOptionsTest : public QObject {
    Q_OBJECT
private slots:
    void defaults() {
        SimOptions o;
        QString e;
        QVERIFY(parseSimOptions({"qvx-sim"}, &o, &e));
        QCOMPARE(o.config.modulation, SimConfig::Modulation::Fsk);
        QCOMPARE(o.config.commandDelay(), 20);
        QCOMPARE(o.config.loopDelay(), 60);
        QVERIFY(o.helpText.contains("--unplug-after"));
    }

    void settings() {
        SimOptions o;
        QString e;
        QVERIFY2(parseSimOptions({"qvx-sim", "--mode", "lora", "--sf", "5", "--firmware", "version", "--no-mode-answer",
                                  "--rs-form", "rssi", "--loss-pattern", "..x", "--far-rssi", "-70,-80",
                                  "--noise", "wander:-110:3", "--close-after", "4", "--chunk", "3", "--trace", "t.txt",
                                  "--link", "/tmp/l"},
                                 &o, &e),
                 qPrintable(e));
        const SimConfig& c = o.config;
        QCOMPARE(c.modulation, SimConfig::Modulation::Lora);
        QCOMPARE(c.loopDelay(), 9500);
        QCOMPARE(c.firmware, SimConfig::Firmware::Version);
        QVERIFY(!c.modeAnswer);
        QCOMPARE(c.rsForm, SimConfig::RsForm::Rssi);
        QCOMPARE(c.lossPattern, QByteArray("..x"));
        QCOMPARE(c.farRssi.values, (QList<int>{-70, -80}));
        QCOMPARE(c.noiseRssi.kind, RssiSpec::Kind::Wander);
        QCOMPARE(c.noiseRssi.centre, -110);
        QCOMPARE(c.noiseRssi.span, 3);
        QCOMPARE(c.unplugAfter, 4);
        QCOMPARE(c.chunkSize, 3);
        QCOMPARE(o.tracePath, QString("t.txt"));
        QCOMPARE(o.linkPath, QString("/tmp/l"));
    }

    void refused_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("mode") << QStringList{"--mode", "am"};
        QTest::newRow("sf 6") << QStringList{"--sf", "6"};
        QTest::newRow("sf-answer length") << QStringList{"--sf-answer", "7"};
        QTest::newRow("loss > 1") << QStringList{"--loss", "1.5"};
        QTest::newRow("rssi text") << QStringList{"--far-rssi", "-75,abc"};
        QTest::newRow("wander span") << QStringList{"--ack-rssi", "wander:-80:x"};
        QTest::newRow("negative delay") << QStringList{"--loop-delay", "-5"};
        QTest::newRow("unplug 0") << QStringList{"--unplug-after", "0"};
        QTest::newRow("unknown option") << QStringList{"--frobnicate"};
        QTest::newRow("positional") << QStringList{"extra"};
    }
    void refused() {
        QFETCH(QStringList, args);
        SimOptions o;
        QString e;
        QVERIFY(!parseSimOptions(QStringList{"qvx-sim"} + args, &o, &e));
        QVERIFY(!e.isEmpty());
    }
};

QTEST_GUILESS_MAIN(SimOptionsTest)
#include "sim_options_test.moc"
