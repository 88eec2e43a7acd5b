// The datum point file against the worked figures.
#include "common/NumberText.h"
#include "gps/DatumFile.h"

#include <QtTest>

class GpsDatumFileTest : public QObject {
    Q_OBJECT
private slots:
    void datumFormat() {
        datumfile::Datum d;
        d.latitude = 35.6520566;
        d.longitude = 139.761315;
        d.height = 40.5;
        QCOMPARE(datumfile::format(d, {true, true, true}),
                 QStringLiteral("GPS Position,Datum point,Comment\r\n"
                                "N: ,  35.6520566, 'Latitude-N  (Dec)\r\n"
                                "E: ,  139.761315, 'Longitude-E (Dec)\r\n"
                                "M: ,  40.5, 'Heigt-M(m)\r\n"));
        QCOMPARE(datumfile::format(d, {}), QStringLiteral("GPS Position,Datum point,Comment\r\n"));
        d.northCorrection = 0.12;
        d.height = -3;
        QCOMPARE(datumfile::format(d, {false, false, true}),
                 QStringLiteral("GPS Position,Datum point,Comment\r\nM: , -3, 'Heigt-M(m)\r\nNC:,  .12, 'N Correction [km/d]\r\n"));
    }

    void datumApply_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("lat");
        QTest::addColumn<double>("lon");
        QTest::addColumn<double>("height");
        QTest::addColumn<double>("nc");
        // Before each row: 1, 2, 3, nc 0.5, ec 0.
        QTest::newRow("written file") << "GPS Position,Datum point,Comment\r\nN: ,  35.6520566, 'Latitude-N  (Dec)\r\n"
                                         "E: ,  139.761315, 'Longitude-E (Dec)\r\nM: ,  40.5, 'Heigt-M(m)\r\n"
                                      << true << 35.6520566 << 139.761315 << 40.5 << 0.5;
        QTest::newRow("header only") << "GPS Position,Datum point,Comment\r\n" << true << 1.0 << 2.0 << 3.0 << 0.5;
        QTest::newRow("empty file") << "" << true << 1.0 << 2.0 << 3.0 << 0.5;
        QTest::newRow("NC zero not stored") << "NC:,0,x\r\n" << true << 1.0 << 2.0 << 3.0 << 0.5;
        QTest::newRow("NC stored") << "NC:, 0.12 ,x\r\n" << true << 1.0 << 2.0 << 3.0 << 0.12;
        QTest::newRow("keys case-sensitive") << "n:,9,x\r\ne:,9,x\r\n" << true << 1.0 << 2.0 << 3.0 << 0.5;
        QTest::newRow("later line wins") << "N:,10,a\r\nN:,11,b\r\n" << true << 11.0 << 2.0 << 3.0 << 0.5;
        QTest::newRow("short line takes from the next") << "N:,10\r\nc,E:,20,d\r\n" << true << 10.0 << 20.0 << 3.0 << 0.5;
        QTest::newRow("not a number reads 0") << "N:,abc,x\r\n" << true << 0.0 << 2.0 << 3.0 << 0.5;
        QTest::newRow("LF only, no final line end") << "N:,7,a\nM:,8,b" << true << 7.0 << 2.0 << 8.0 << 0.5;
        QTest::newRow("incomplete three: nothing applied") << "N:,10,a\r\nE:,20\r\n" << false << 1.0 << 2.0 << 3.0 << 0.5;
    }
    void datumApply() {
        QFETCH(QString, text);
        datumfile::Datum d;
        d.latitude = 1;
        d.longitude = 2;
        d.height = 3;
        d.northCorrection = 0.5;
        QString error;
        QTEST(datumfile::apply(text, &d, &error), "ok");
        QTEST(d.latitude, "lat");
        QTEST(d.longitude, "lon");
        QTEST(d.height, "height");
        QTEST(d.northCorrection, "nc");
        QFETCH(bool, ok);
        QCOMPARE(error.isEmpty(), ok);
    }
};

QTEST_APPLESS_MAIN(GpsDatumFileTest)
#include "gps_datum_file_test.moc"
