// GGA field extraction, the buffer step, the position conversions and
// Hubeny's distance, against the worked figures.
#include "common/NumberText.h"
#include "gps/Distance.h"
#include "gps/Gga.h"
#include <QtTest>

namespace {
const QString kSentence = QStringLiteral("$GPGGA,023000.00,3539.1234,N,13945.6789,E,1,08,0.9,40.5,M,39.2,M,,*57");
}

class GgaPositionTest : public QObject {
    Q_OBJECT
private slots:
    void extract_data() {
        QTest::addColumn<QString>("sentence");
        QTest::addColumn<bool>("positioned");
        QTest::addColumn<QString>("lat");
        QTest::addColumn<QString>("lon");
        QTest::addColumn<QString>("sats");
        QTest::addColumn<QString>("alt");
        QTest::newRow("worked example") << kSentence << true << "3539.1234" << "13945.6789" << "08" << "40.5";
        QTest::newRow("no fix") << "$GPGGA,023000.00,,,,,0,00,,,M,,M,,*66" << false << "" << "" << "" << "";
        QTest::newRow("all empty") << "$GPGGA,,,,,,0,,,,,,,,*66" << false << "" << "" << "" << "";
        QTest::newRow("south") << "$GPGGA,1,2712.6404,S,15303.1201,E,1,05,1.0,9.0,M,,M,,*00" << false << "" << "" << "" << "";
        QTest::newRow("west") << "$GPGGA,1,4221.8237733,N,07101.8,W,1,00,1.0,9.0,M,,M,,*00" << false << "" << "" << "" << "";
        QTest::newRow("empty altitude, unit kept") << "$GPGGA,1,3500.0,N,13900.0,E,1,4,,,M,,M,,*00" << true << "3500.0" << "13900.0" << "4" << "";
        QTest::newRow("quality 0 placeholder") << "$GPGGA,235946.005,8960.000000,N,00000.000000,E,0,0,,137.000,M,13.000,M,,*4C"
                                               << true << "8960.000000" << "00000.000000" << "0" << "137.000";
        // ",M," before the satellites' comma: boundaries fall before their
        // fields; those fields read as empty, never a negative cut.
        QTest::newRow("boundaries out of order") << "$GPGGA,1,M,N,,E,1,8" << true << "M" << "" << "" << "1";
        QTest::newRow("no comma after the time") << "$GPGGA,N,E,M," << false << "" << "" << "" << "";
    }
    void extract() {
        QFETCH(QString, sentence);
        const gga::Fields f = gga::extract(sentence);
        QFETCH(bool, positioned);
        QCOMPARE(f.positioned, positioned);
        if (!positioned) return;
        QTEST(f.latitude, "lat");
        QTEST(f.longitude, "lon");
        QTEST(f.satellites, "sats");
        QTEST(f.altitude, "alt");
    }

    void conversions_data() {
        QTest::addColumn<double>("raw");
        QTest::addColumn<QString>("decimal");
        QTest::addColumn<QString>("dms");
        QTest::newRow("worked latitude") << 3539.1234 << " 35.6520566" << " 35度 39分 7.4秒";
        QTest::newRow("worked longitude") << 13945.6789 << " 139.761315" << " 139度 45分 40.73秒";
        QTest::newRow("whole degrees") << 3500.0 << " 35" << " 35度 0分 0秒";
        QTest::newRow("seconds below one") << 3500.0075 << " 35.000125" << " 35度 0分 .45秒";
        QTest::newRow("sixty minutes") << 8960.0 << " 90" << " 89度 60分 0秒";
        // m/60 with at most 7 decimals: the double result sits one step low.
        QTest::newRow("rounding boundary") << 518.8172 << " 5.3136199" << " 5度 18分 49.03秒";
        QTest::newRow("zero") << 0.0 << " 0" << " 0度 0分 0秒";
    }
    void conversions() {
        QFETCH(double, raw);
        QTEST(numtext::signBlank(gga::decimalDegrees(raw)), "decimal");
        QTEST(gga::dmsText(raw), "dms");
    }

    void takeSentence_data() {
        QTest::addColumn<QString>("buffer");
        QTest::addColumn<int>("processedBefore");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("taken");
        QTest::addColumn<QString>("bufferAfter");
        QTest::addColumn<int>("processedAfter");
        const QString s = kSentence;
        QTest::newRow("worked example cut and taken")
            << "xx\r\n" + s + "\r\n" << 1 << "$GPGGA" << s << s + "\r\n" << 1;
        QTest::newRow("CR not yet arrived") << s.left(40) << 0 << "$GPGGA" << "" << s.left(40) << 0;
        QTest::newRow("first after opening, no LF before") << s + "\r\n" << 0 << "$GPGGA" << s << s + "\r\n" << 1;
        QTest::newRow("already taken") << s + "\r\n" << 1 << "$GPGGA" << "" << s + "\r\n" << 1;
        QTest::newRow("other condition, GGA skipped until it arrives")
            << "\n" + s + "\r\n" << 1 << "$GPRMC" << "" << "\n" + s + "\r\n" << 1;
        QTest::newRow("RMC re-arms, the following GGA is taken")
            << "a\r\n$GPRMC,x\r\n" + s + "\r\n" << 1 << "$GPRMC" << s << "$GPRMC,x\r\n" + s + "\r\n" << 1;
        QTest::newRow("empty condition cuts after the first LF")
            << s + "\r\n" + s + "\r\n" << 1 << "" << s << s + "\r\n" << 1;
        QTest::newRow("LF-only line end") << "\n" + s + "\n" << 1 << "$GPGGA" << s << s + "\n" << 1;
        // A receiver of several satellite systems: its GGA is taken, and
        // the condition "$GPGGA" re-arms at its "$GNGGA".
        QTest::newRow("other talker taken") << "\n$GNGGA,1,3500,N,13900,E,1,4,1,5,M,,M,,*00\r\n" << 1 << "$GPGGA"
                                            << "$GNGGA,1,3500,N,13900,E,1,4,1,5,M,,M,,*00"
                                            << "$GNGGA,1,3500,N,13900,E,1,4,1,5,M,,M,,*00\r\n" << 1;
        // A receiver that sends $GPGGA is read by that talker alone.
        QTest::newRow("other talker ignored beside $GPGGA")
            << "\n$GNGGA,1,3500,N,13900,E,1,4,1,5,M,,M,,*00\r\n$GPGGA,2,,,,,0,0,,,M,,M,,*00\r\n" << 1 << "$GPGGA"
            << "$GPGGA,2,,,,,0,0,,,M,,M,,*00" << "$GPGGA,2,,,,,0,0,,,M,,M,,*00\r\n" << 1;
    }
    void takeSentence() {
        QFETCH(QString, buffer);
        QFETCH(int, processedBefore);
        QFETCH(QString, condition);
        int processed = processedBefore;
        QTEST(gga::takeSentence(buffer, &processed, condition), "taken");
        QTEST(buffer, "bufferAfter");
        QTEST(processed, "processedAfter");
    }

    void distance_data() {
        QTest::addColumn<double>("lat");
        QTest::addColumn<double>("lon");
        QTest::addColumn<double>("height");
        QTest::addColumn<QString>("text");
        QTest::newRow("same point") << 35.6520566 << 139.761315 << 0.0 << "0.0";
        QTest::newRow("north") << 35.6620566 << 139.761315 << 0.0 << "1109.5";
        QTest::newRow("east") << 35.6520566 << 139.771315 << 0.0 << "905.6";
        QTest::newRow("north-east") << 35.6620566 << 139.771315 << 0.0 << "1432.1";
        QTest::newRow("north-east, 3 m higher") << 35.6620566 << 139.771315 << 3.0 << "1432.1";
        QTest::newRow("same point, 3 m higher") << 35.6520566 << 139.761315 << 3.0 << "3.0";
    }
    void distance() {
        QFETCH(double, lat);
        QFETCH(double, lon);
        QFETCH(double, height);
        QTEST(hubeny::metresText(hubeny::distance(lat, lon, 35.6520566, 139.761315, height)), "text");
    }

    void metresText_data() {
        QTest::addColumn<double>("metres");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0.0";
        QTest::newRow("below the last digit") << 0.04 << "0.0";
        QTest::newRow("half rounds up") << 0.05 << "0.1";
        QTest::newRow("decimal half, not binary") << 1109.45 << "1109.5";
        QTest::newRow("carry into a new digit") << 999.96 << "1000.0";
        QTest::newRow("large, no separators") << 12345678.94 << "12345678.9";
        QTest::newRow("tiny") << 1e-9 << "0.0";
    }
    void metresText() {
        QFETCH(double, metres);
        QTEST(hubeny::metresText(metres), "text");
    }
};

QTEST_APPLESS_MAIN(GgaPositionTest)
#include "gga_position_test.moc"
