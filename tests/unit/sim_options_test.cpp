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

    void linkLaw() {
        SimOptions o;
        QString e;
        QVERIFY(parseSimOptions({"qvx-sim", "--wander"}, &o, &e));
        QVERIFY(!o.config.law.enabled);   // only a distance source turns it on
        QVERIFY2(parseSimOptions({"qvx-sim", "--mode", "lora", "--sf", "2", "--distance-trace", "walk.csv", "--far-end",
                                  "35.5,139.25", "--path-loss", "-20:2.5:10", "--shadowing", "6", "--fading", "0"},
                                 &o, &e),
                 qPrintable(e));
        const LinkLaw& law = o.config.law;
        QVERIFY(law.enabled);
        QCOMPARE(o.distanceTracePath, QString("walk.csv"));
        QVERIFY(o.haveFarEnd);
        QCOMPARE(o.farEndLat, 35.5);
        QCOMPARE(o.farEndLon, 139.25);
        QCOMPARE(law.levelDbm, -20.0);
        QCOMPARE(law.exponent, 2.5);
        QCOMPARE(law.referenceM, 10.0);
        QCOMPARE(law.meanLevel(100.0), -45.0);   // a decade past d0
        QCOMPARE(law.meanLevel(1.0), -20.0);   // nearer than d0: the level at d0
        QCOMPARE(law.shadowingDb, 6.0);
        QCOMPARE(law.shadowingDistanceM, 25.0);
        QCOMPARE(law.fadingDb, 0.0);
        QCOMPARE(o.config.lawMidpoint(), -128.0);   // LoRa decodes lower, more so at higher spreading
        SimOptions hard;
        QVERIFY(parseSimOptions({"qvx-sim", "--distance-trace", "w.csv", "--loss-midpoint", "-100", "--loss-slope", "0"},
                                &hard, &e));
        QCOMPARE(hard.config.lawMidpoint(), -100.0);
        QCOMPARE(hard.config.law.lossProbability(-100.5, -100), 1.0);
        QCOMPARE(hard.config.law.lossProbability(-99.5, -100), 0.0);
        SimOptions fsk;
        QVERIFY(parseSimOptions({"qvx-sim", "--distance-trace", "w.csv"}, &fsk, &e));
        QCOMPARE(fsk.config.lawMidpoint(), -108.0);
        QCOMPARE(fsk.config.law.lossProbability(-108, -108), 0.5);
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
        QTest::newRow("law without distance") << QStringList{"--path-loss", "-30:3"};
        QTest::newRow("far end without distance") << QStringList{"--far-end", "35,139"};
        QTest::newRow("law and far rssi") << QStringList{"--distance-trace", "w.csv", "--far-rssi", "-70"};
        QTest::newRow("path-loss text") << QStringList{"--distance-trace", "w.csv", "--path-loss", "-30:x"};
        QTest::newRow("path-loss d0 0") << QStringList{"--distance-trace", "w.csv", "--path-loss", "-30:3:0"};
        QTest::newRow("negative shadowing") << QStringList{"--distance-trace", "w.csv", "--shadowing", "-1"};
        QTest::newRow("far end latitude") << QStringList{"--distance-trace", "w.csv", "--far-end", "95,139"};
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
