// The GPS port and the GPS timer on a fake receiver and the virtual clock:
// sentences split across receive events, several sentences in one buffer,
// the redisplay conditions, a sentence without a fix, switching GPS off,
// a port that does not open, the distance and the buffer bound.
#include "WindowHarness.h"
#include "gps/Gga.h"
#include "gps/GgaProcessor.h"
#include "platform/Timer.h"
#include "ports/GpsChannel.h"
#include "results/LogWriters.h"

#include <QFile>
#include <QtTest>

namespace {
const QByteArray kWorked("$GPGGA,023000.00,3539.1234,N,13945.6789,E,1,08,0.9,40.5,M,39.2,M,,*57");
const QByteArray kSecond("$GPGGA,023001.00,3500.0000,N,13900.0000,E,1,07,0.9,12.0,M,39.2,M,,*50");
const QByteArray kThird("$GPGGA,023002.00,3600.0000,N,14000.0000,E,1,06,0.9,13.0,M,39.2,M,,*51");
const QByteArray kNoFix("$GPGGA,023003.00,,,,,0,00,,,M,,M,,*66");
const QByteArray kCrLf("\r\n");

// A sentence body ("$" up to the last field) with its checksum.
QByteArray withChecksum(const QByteArray& body) {
    int sum = 0;
    for (int i = 1; i < body.size(); ++i)
        sum ^= quint8(body[i]);
    return body + '*' + QByteArray::number(sum, 16).toUpper().rightJustified(2, '0');
}

int readings = 0;
gga::Reading countedRead(const QString& sentence) {
    ++readings;
    return gga::read(sentence);
}
}

class GgaWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowHarness> h;
    FakeDevice* dev = nullptr;

    Form1& f() { return h->form(); }
    void switchOn() {
        inside(f()).ui.GPS_Port->setText(QStringLiteral("COM5"));
        inside(f()).ui.GPS_On->setChecked(true);
        QVERIFY(dev->isOpenByHost());
    }
    void tick() { h->advance(100); }
    // Sends a sentence with its line end and lets the timer take it.
    void feed(const QByteArray& sentence) {
        dev->send(sentence + kCrLf);
        tick();
    }
    QString npos() { return inside(f()).ui.Npos->text(); }

private slots:
    void init() {
        h = std::make_unique<WindowHarness>();
        dev = h->ports.addDevice(QStringLiteral("COM5"));
        h->start();
    }
    void cleanup() { h.reset(); }

    void opensAtTheChosenSpeedAndLocksThePortControls() {
        inside(f()).ui.GPS_Baudrate->setCurrentText(QStringLiteral("4800"));
        inside(f()).ui.GPSMessage->setText(QStringLiteral("old"));
        inside(f()).st.GgaProcessed = 1;
        switchOn();
        QCOMPARE(dev->baudRate(), 4800);
        QVERIFY(!inside(f()).ui.GPS_Port->isEnabled());
        QVERIFY(!inside(f()).ui.GPS_Baudrate->isEnabled());
        QVERIFY(!inside(f()).ui.GPS_SelectSW->isEnabled());
        QCOMPARE(inside(f()).st.GgaProcessed, 0);
        QCOMPARE(inside(f()).ui.GPSMessage->text(), QString());
    }

    // The worked example, its sentence arriving in two receive events; the
    // first sentence after opening needs no LF before it.
    void splitSentenceTakenOnceItsCrArrives() {
        switchOn();
        dev->send(kWorked.left(30));
        tick();
        QCOMPARE(inside(f()).ui.GPposition->text(), QString());
        QCOMPARE(inside(f()).ui.GPSdataDisp->toPlainText(), QString::fromLatin1(kWorked.left(30)));
        dev->send(kWorked.mid(30) + kCrLf);
        QCOMPARE(inside(f()).st.GpsBuffer, QString::fromLatin1(kWorked + kCrLf));
        tick();
        QCOMPARE(inside(f()).ui.GPposition->text(), QString::fromLatin1(kWorked));
        QCOMPARE(inside(f()).ui.Npos->text(), QStringLiteral(" 3539.1234"));
        QCOMPARE(inside(f()).ui.Epos->text(), QStringLiteral(" 13945.6789"));
        QCOMPARE(inside(f()).ui.Mpos->text(), QStringLiteral(" 40.5"));
        QCOMPARE(inside(f()).ui.EiseiN->text(), QStringLiteral("08"));
        QCOMPARE(inside(f()).ui.NposGmap->text(), QStringLiteral(" 35.6520566"));
        QCOMPARE(inside(f()).ui.EposGmap->text(), QStringLiteral(" 139.761315"));
        QCOMPARE(inside(f()).ui.Nposition->text(), QStringLiteral(" 35度 39分 7.4秒"));
        QCOMPARE(inside(f()).ui.Eposition->text(), QStringLiteral(" 139度 45分 40.73秒"));
        QCOMPARE(inside(f()).ui.WGS84_Kyori->text(), QString());   // no datum point
        QCOMPARE(inside(f()).st.LatitudeRaw, 3539.1234);
        QCOMPARE(inside(f()).st.LongitudeRaw, 13945.6789);
        QCOMPARE(inside(f()).st.Altitude, 40.5);
        QCOMPARE(inside(f()).st.LatitudeDeg, 35.6520566);
        QCOMPARE(inside(f()).st.GgaProcessed, 1);
    }

    // With GPS off a tick finds nothing to do and the timer rests, so an
    // idle window does not wake ten times a second; whatever could give a
    // tick work wakes it, and the box still shows the buffer one tick
    // later, as it did with the timer always running. While GPS is in use
    // it never rests (the fix alarm counts on its ticks).
    void timerRestsOnlyWhileItHasNothingToDo() {
        QPlainTextEdit* box = inside(f()).ui.GPSdataDisp;
        box->setPlainText(QStringLiteral("typed"));
        tick();
        QCOMPARE(box->toPlainText(), QString());
        QVERIFY(inside(f()).GPSTimer->isEnabled());
        tick();
        QVERIFY(!inside(f()).GPSTimer->isEnabled());
        box->setPlainText(QStringLiteral("typed again"));
        QVERIFY(inside(f()).GPSTimer->isEnabled());
        tick();
        QCOMPARE(box->toPlainText(), QString());
        tick();
        QVERIFY(!inside(f()).GPSTimer->isEnabled());
        inside(f()).ui.GPSdata_clr->setCurrentText(QStringLiteral("$GPRMC"));
        QVERIFY(inside(f()).GPSTimer->isEnabled());
        inside(f()).ui.GPSdata_clr->setCurrentText(QStringLiteral("$GPGGA"));

        switchOn();
        feed(kWorked);
        for (int i = 0; i < 5; ++i)
            tick();
        QVERIFY(inside(f()).GPSTimer->isEnabled());
        dev->send(kSecond + kCrLf);
        tick();
        QCOMPARE(npos(), QStringLiteral(" 3500"));

        inside(f()).ui.GPS_On->setChecked(false);
        tick();
        QCOMPARE(box->toPlainText(), QString());
        tick();
        QVERIFY(!inside(f()).GPSTimer->isEnabled());
        switchOn();
        QVERIFY(inside(f()).GPSTimer->isEnabled());
        feed(kThird);
        QCOMPARE(npos(), QStringLiteral(" 3600"));
    }

    void twoSentencesInOneBufferTakenOnSuccessiveTicks() {
        switchOn();
        feed(kWorked);
        dev->send(kSecond + kCrLf + kThird + kCrLf);
        tick();
        QCOMPARE(npos(), QStringLiteral(" 3500"));
        tick();
        QCOMPARE(npos(), QStringLiteral(" 3600"));
        QCOMPARE(inside(f()).st.GpsBuffer, QString::fromLatin1(kThird + kCrLf));
        tick();
        QCOMPARE(npos(), QStringLiteral(" 3600"));
    }

    void redisplayCondition_data() {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QString>("expectedNpos");
        QTest::addColumn<QString>("bufferAfter");
        const QByteArray gsa("$GPGSA,A,3,,,,,,,,,,,,,1.0,0.9,0.5*00");
        QTest::newRow("GGA re-arms") << "$GPGGA" << QByteArray(kSecond + kCrLf) << " 3500"
                                     << QString::fromLatin1(kSecond + kCrLf);
        QTest::newRow("GSA: a GGA without a GSA before it is skipped")
            << "$GPGSA" << QByteArray(kSecond + kCrLf) << " 3539.1234"
            << QString::fromLatin1(kWorked + kCrLf + kSecond + kCrLf);
        QTest::newRow("GSA: the GGA after it is taken, the next skipped")
            << "$GPGSA" << QByteArray(gsa + kCrLf + kSecond + kCrLf + kThird + kCrLf) << " 3500"
            << QString::fromLatin1(gsa + kCrLf + kSecond + kCrLf + kThird + kCrLf);
        // An empty condition cuts after the first LF each tick and re-arms.
        QTest::newRow("empty") << "" << QByteArray(kSecond + kCrLf + kThird + kCrLf) << " 3500"
                               << QString::fromLatin1(kSecond + kCrLf + kThird + kCrLf);
    }
    void redisplayCondition() {
        QFETCH(QString, condition);
        QFETCH(QByteArray, stream);
        switchOn();
        feed(kWorked);
        QCOMPARE(npos(), QStringLiteral(" 3539.1234"));
        inside(f()).ui.GPSdata_clr->setCurrentText(condition);
        QCOMPARE(inside(f()).ui.GPSdata_clr->currentText(), condition);
        dev->send(stream);
        tick();
        QTEST(npos(), "expectedNpos");
        QTEST(inside(f()).st.GpsBuffer, "bufferAfter");
    }

    void emptyConditionTakesEachSentenceInTurn() {
        inside(f()).ui.GPSdata_clr->setCurrentText(QString());
        switchOn();
        dev->send(kWorked + kCrLf + kSecond + kCrLf + kThird + kCrLf);
        tick();
        QCOMPARE(npos(), QStringLiteral(" 3500"));
        tick();
        QCOMPARE(npos(), QStringLiteral(" 3600"));
        tick();
        QCOMPARE(inside(f()).st.GpsBuffer, QString());
        QCOMPARE(npos(), QStringLiteral(" 3600"));
    }

    void sentenceWithoutFixShownButPositionKept() {
        switchOn();
        feed(kWorked);
        inside(f()).ui.WGS84_Kyori->setText(QStringLiteral("12.0"));
        feed(kNoFix);
        QCOMPARE(inside(f()).ui.GPposition->text(), QString::fromLatin1(kNoFix));
        QCOMPARE(npos(), QStringLiteral(" 3539.1234"));
        QCOMPARE(inside(f()).ui.NposGmap->text(), QStringLiteral(" 35.6520566"));
        QCOMPARE(inside(f()).ui.EiseiN->text(), QStringLiteral("08"));
        QCOMPARE(inside(f()).ui.WGS84_Kyori->text(), QStringLiteral("12.0"));   // no distance step
        QCOMPARE(inside(f()).st.LatitudeRaw, 3539.1234);
        QCOMPARE(inside(f()).st.GgaProcessed, 1);
    }

    void distanceFromTheDatumPoint_data() {
        QTest::addColumn<bool>("withHeight");
        QTest::addColumn<double>("datumLat");
        QTest::addColumn<QString>("text");
        QTest::newRow("at the datum") << false << 35.6520566 << "0.0";
        QTest::newRow("at the datum, 3 m lower") << true << 35.6520566 << "3.0";
        QTest::newRow("datum on the equator counts as none") << false << 0.0 << "";
    }
    void distanceFromTheDatumPoint() {
        QFETCH(bool, withHeight);
        QFETCH(double, datumLat);
        inside(f()).st.DatumLatitude = datumLat;
        inside(f()).st.DatumLongitude = 139.761315;
        inside(f()).st.DatumHeight = 37.5;
        inside(f()).ui.Check2->setChecked(withHeight);
        inside(f()).ui.WGS84_Kyori->setText(QStringLiteral("old"));
        switchOn();
        feed(kWorked);
        QTEST(inside(f()).ui.WGS84_Kyori->text(), "text");
    }

    // The tick reads each sentence it takes once: that reading gives the
    // window its texts, the map logs their position texts and the records
    // their position, and one rule gives the window and the records their
    // distance from the datum point (each height at 15 significant digits:
    // an altitude given with more digits than a double holds is 40.5 for
    // both).
    void oneReadingAndOneDistanceForWindowAndRecords() {
        inside(f()).gga->setReader(countedRead);
        readings = 0;
        inside(f()).st.DatumLatitude = 35.6520566;
        inside(f()).st.DatumLongitude = 139.761315;
        inside(f()).st.DatumHeight = 37.5;
        inside(f()).ui.Check2->setChecked(true);
        switchOn();
        feed(withChecksum("$GPGGA,023000.00,3539.1234,N,13945.6789,E,1,08,0.9,40.50000000000000711,M,39.2,M,,"));
        tick();
        tick();
        QCOMPARE(readings, 1);
        QCOMPARE(inside(f()).ui.Mpos->text(), QStringLiteral(" 40.5"));
        QCOMPARE(inside(f()).ui.WGS84_Kyori->text(), QStringLiteral("3.0"));
        const GgaProcessor::MapTexts& map = inside(f()).gga->mapTexts();
        QCOMPARE(map.latitude, inside(f()).ui.NposGmap->text());
        QCOMPARE(map.longitude, inside(f()).ui.EposGmap->text());
        QCOMPARE(map.altitude, QStringLiteral(" 40.5"));
        const gps::PositionAt at = inside(f()).gga->positionAt(h->clock.microseconds());
        QVERIFY(at.position);
        QCOMPARE(at.position->distanceM, std::optional<double>(3.0));
        QCOMPARE(inside(f()).gga->position()->distanceM, std::optional<double>(3.0));

        // A position typed into the boxes is what the map logs carry.
        inside(f()).ui.NposGmap->setText(QStringLiteral("35.1"));
        QCOMPARE(inside(f()).gga->mapTexts().latitude, QStringLiteral("35.1"));

        inside(f()).ui.GPS_On->setChecked(false);
        QCOMPARE(inside(f()).gga->mapTexts().latitude, QString());
        QCOMPARE(inside(f()).gga->mapTexts().altitude, QString());
    }

    void switchingOffClearsThePositionButKeepsTheLastTexts() {
        inside(f()).st.DatumLatitude = 35.6520566;
        inside(f()).st.DatumLongitude = 139.761315;
        switchOn();
        feed(kWorked);
        dev->send(kSecond.left(20));
        inside(f()).ui.GPSMessage->setText(QStringLiteral("old"));
        inside(f()).ui.GPS_On->setChecked(false);
        QVERIFY(!dev->isOpenByHost());
        QCOMPARE(inside(f()).st.GpsBuffer, QString());
        for (QLineEdit* box : {inside(f()).ui.GPposition, inside(f()).ui.Npos, inside(f()).ui.NposGmap, inside(f()).ui.Epos, inside(f()).ui.EposGmap, inside(f()).ui.Mpos})
            QCOMPARE(box->text(), QString());
        QCOMPARE(inside(f()).ui.EiseiN->text(), QStringLiteral("08"));
        QCOMPARE(inside(f()).ui.Nposition->text(), QStringLiteral(" 35度 39分 7.4秒"));
        QCOMPARE(inside(f()).ui.Eposition->text(), QStringLiteral(" 139度 45分 40.73秒"));
        QCOMPARE(inside(f()).ui.WGS84_Kyori->text(), QStringLiteral("0.0"));
        QCOMPARE(inside(f()).ui.GPSMessage->text(), QString());
        QVERIFY(inside(f()).ui.GPS_Port->isEnabled());
        QVERIFY(inside(f()).ui.GPS_Baudrate->isEnabled());
        QVERIFY(inside(f()).ui.GPS_SelectSW->isEnabled());
        QVERIFY(!inside(f()).ui.GPSdataDisp->toPlainText().isEmpty());
        tick();
        QCOMPARE(inside(f()).ui.GPSdataDisp->toPlainText(), QString());
    }

    void portThatDoesNotOpen_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<bool>("busy");
        QTest::newRow("empty port") << "" << "9600" << false;
        QTest::newRow("COM alone") << "COM" << "9600" << false;
        QTest::newRow("no such port") << "COM9" << "9600" << false;
        QTest::newRow("port in use") << "COM5" << "9600" << true;
        QTest::newRow("speed not a number") << "COM5" << "fast" << false;
        // The speed is read as a whole number, all of it.
        QTest::newRow("speed with trailing text") << "COM5" << "9600x" << false;
        QTest::newRow("speed with a fraction") << "COM5" << "9600.5" << false;
        QTest::newRow("speed with an exponent") << "COM5" << "9.6e3" << false;
        QTest::newRow("speed beyond 32 bits") << "COM5" << "1e20" << false;
        QTest::newRow("speed of 11 digits") << "COM5" << "99999999999" << false;
        QTest::newRow("negative speed") << "COM5" << "-9600" << false;
    }
    void portThatDoesNotOpen() {
        QFETCH(QString, port);
        QFETCH(QString, baud);
        QFETCH(bool, busy);
        dev->setBusy(busy);
        inside(f()).ui.GPS_Port->setText(port);
        inside(f()).ui.GPS_Baudrate->setCurrentText(baud);
        inside(f()).st.GpsBuffer = QStringLiteral("stale");
        inside(f()).ui.Npos->setText(QStringLiteral(" 1"));
        inside(f()).ui.GPS_On->setChecked(true);
        QVERIFY(!inside(f()).ui.GPS_On->isChecked());
        QVERIFY(!inside(f()).MSComm2->isOpen());
        QCOMPARE(inside(f()).ui.GPSMessage->text(), QStringLiteral("ポート･設定確認"));
        QVERIFY(inside(f()).ui.GPS_Port->isEnabled());
        QVERIFY(inside(f()).ui.GPS_Baudrate->isEnabled());
        QVERIFY(inside(f()).ui.GPS_SelectSW->isEnabled());
        QCOMPARE(inside(f()).st.GpsBuffer, QString());
        QCOMPARE(npos(), QString());
        // A later attempt with a good port succeeds and clears the message.
        dev->setBusy(false);
        inside(f()).ui.GPS_Baudrate->setCurrentText(QStringLiteral("9600"));
        switchOn();
        QCOMPARE(inside(f()).ui.GPSMessage->text(), QString());
    }

    // The receiver's cable is pulled while in use: GPS use switches itself
    // off with the port message, the last position is no longer shown (so
    // no map log line repeats it as current), and plugging back in and
    // ticking the box again resumes.
    void receiverUnpluggedWhileInUse() {
        switchOn();
        feed(kWorked);
        QVERIFY(!npos().isEmpty());
        dev->send("$GPGGA,0230");   // half a sentence in the buffer
        dev->unplug();
        QVERIFY(!inside(f()).ui.GPS_On->isChecked());
        QVERIFY(!inside(f()).MSComm2->isOpen());
        QCOMPARE(inside(f()).ui.GPSMessage->text(), QStringLiteral("ポート･設定確認"));
        QCOMPARE(npos(), QString());
        QCOMPARE(inside(f()).ui.NposGmap->text(), QString());
        QCOMPARE(inside(f()).st.GpsBuffer, QString());
        QVERIFY(inside(f()).ui.GPS_Port->isEnabled());
        QVERIFY(inside(f()).ui.GPS_SelectSW->isEnabled());
        tick();
        QCOMPARE(npos(), QString());
        dev->plugIn();
        switchOn();
        QCOMPARE(inside(f()).ui.GPSMessage->text(), QString());
        feed(kSecond);
        QVERIFY(!npos().isEmpty());
    }

    // A receiver that never sends the redisplay sentence: the buffer keeps
    // only the newest text.
    void bufferKeepsTheNewestText() {
        inside(f()).ui.GPSdata_clr->setCurrentText(QStringLiteral("$GPZDA"));
        switchOn();
        const QByteArray chunk(1000, 'x');
        for (int i = 0; i < 70; ++i)
            dev->send(chunk);
        dev->send(kWorked + kCrLf);
        QCOMPARE(inside(f()).st.GpsBuffer.size(), GpsChannel::kBufferLimit);
        QVERIFY(inside(f()).st.GpsBuffer.endsWith(QString::fromLatin1(kWorked + kCrLf)));
        tick();
        QCOMPARE(npos(), QStringLiteral(" 3539.1234"));
    }

    // Bytes from 0x80 up reach the code page 932 log exactly as received:
    // a half-width katakana, a two-byte character split across two receive
    // events, and bytes that are no character (0x80, 0xA0, 0xFF).
    void bytesReachTheLogAsReceived() {
        switchOn();
        const QByteArray odd("\x00\xB1\x80\x82\xA0\xA0\xFF", 7);
        const QByteArray sentence = kWorked + odd;
        dev->send(sentence.left(sentence.size() - 3));   // ends inside the two-byte character
        dev->send(sentence.right(3) + kCrLf);
        tick();
        QCOMPARE(inside(f()).ui.GPposition->text().left(kWorked.size()), QString::fromLatin1(kWorked));
        QVERIFY(inside(f()).ui.GPposition->text().contains(QStringLiteral("ｱ") + QChar(0xDC80) + QStringLiteral("あ")));
        inside(f()).ui.LogFile_Flg->setChecked(true);
        inside(f()).ui.LogFileName->setText(QStringLiteral("gps"));
        inside(f()).logs->AppendCommLog(QStringLiteral("\r\n,") + inside(f()).ui.GPposition->text());
        QFile log(h->path(inside(f()).ui.LogFileHedder->text() + QStringLiteral("gps.log")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), "\r\n," + sentence);
    }
};

QTEST_MAIN(GgaWindowTest)
#include "gga_window_test.moc"
