// The port list (fake device query, busy ports, target box, button states
// and geometry), the datum point file (round trip, failures, the overwrite
// question both ways) and the field rules, on the window with fakes.
#include "WindowHarness.h"
#include "common/Colours.h"
#include "common/TextFile.h"
#include "gps/DatumPoint.h"
#include "ports/PortSelection.h"

#include <QFile>
#include <QtTest>

namespace {
const QByteArray kWorked("$GPGGA,023000.00,3539.1234,N,13945.6789,E,1,08,0.9,40.5,M,39.2,M,,*57\r\n");
const QString kHeader = QStringLiteral("GPS Position,Datum point,Comment\r\n");
const QString kWorkedFile = kHeader + QStringLiteral("N: ,  35.6520566, 'Latitude-N  (Dec)\r\n"
                                                     "E: ,  139.761315, 'Longitude-E (Dec)\r\n"
                                                     "M: ,  40.5, 'Heigt-M(m)\r\n");
QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}

class GpsWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowHarness> h;
    Form1& f() { return h->form(); }

    void gpsOnAtWorkedPosition() {
        FakeDevice* gps = h->ports.addDevice(QStringLiteral("COM9"));
        inside(f()).ui.GPS_Port->setText(QStringLiteral("COM9"));
        inside(f()).ui.GPS_On->setChecked(true);
        gps->send(kWorked);
        h->advance(100);
        QCOMPARE(inside(f()).ui.NposGmap->text(), QStringLiteral(" 35.6520566"));
    }

private slots:
    void init() { h = std::make_unique<WindowHarness>(); }
    void cleanup() { h.reset(); }

    void portNameOfEntry_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("port");
        QTest::newRow("windows") << "USB Serial Port (COM3) , FTDIBUS\\VID_0403" << "COM3";
        QTest::newRow("two digits") << "Communications Port (COM12) , ACPI\\PNP0501\\1" << "COM12";
        QTest::newRow("linux") << "USB Serial (ttyUSB0) , /dev/ttyUSB0" << "ttyUSB0";
        QTest::newRow("parentheses in the description") << "FT232R (rev 2) (ttyUSB1) , /dev/ttyUSB1" << "ttyUSB1";
        QTest::newRow("no closing parenthesis") << "Odd (COM4 , x" << "";
        QTest::newRow("nothing between") << "Odd () , x" << "";
    }
    void portNameOfEntry() {
        QFETCH(QString, entry);
        QTEST(portsel::portNameOf(entry), "port");
    }

    void listShowsOnlyPortsThatOpenNow() {
        h->ports.addDevice(QStringLiteral("COM1"));
        h->ports.addDevice(QStringLiteral("COM3"));
        h->ports.addDevice(QStringLiteral("COM4"))->setBusy(true);
        h->portList.list = {QStringLiteral("Port (COM3) , a"), QStringLiteral("Port (COM4) , b"),
                            QStringLiteral("Port (COM1) , c"), QStringLiteral("Missing (COM7) , d")};
        h->start();
        QTest::mouseClick(inside(f()).ui.ComSelectSW, Qt::LeftButton);
        QListWidget* list = inside(f()).ui.Com_PortList;
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("Port (COM3) , a"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("Port (COM1) , c"));
        QVERIFY(!inside(f()).MSComm1->isOpen());
        // Under Com_Port: 600 + 120 + 345 + 30 twips down, 120 + 240 across.
        QCOMPARE(list->pos(), QPoint(24, 73));
        QVERIFY(list->isEnabled());
        QVERIFY(!inside(f()).ui.GPS_SelectSW->isEnabled());
        QCOMPARE(inside(f()).st.PortListTarget, 1);
    }

    void choosingFillsTheTargetBoxOnly() {
        h->ports.addDevice(QStringLiteral("ttyUSB0"));
        h->portList.list = {QStringLiteral("USB Serial (ttyUSB0) , /dev/ttyUSB0")};
        h->start();
        inside(f()).ui.Com_Port->setText(QStringLiteral("COM2"));
        QTest::mouseClick(inside(f()).ui.GPS_SelectSW, Qt::LeftButton);
        QCOMPARE(inside(f()).ui.Com_PortList->pos(), QPoint(200, 73));
        QVERIFY(!inside(f()).ui.ComSelectSW->isEnabled());
        inside(f()).ui.Com_PortList->setCurrentRow(0);
        inside(f()).portSelection->Com_PortList_Click();
        QCOMPARE(inside(f()).ui.GPS_Port->text(), QStringLiteral("ttyUSB0"));
        QCOMPARE(inside(f()).ui.Com_Port->text(), QStringLiteral("COM2"));
        QVERIFY(inside(f()).ui.Com_PortList->y() < 0);
        QVERIFY(!inside(f()).ui.Com_PortList->isEnabled());
        QVERIFY(inside(f()).ui.ComSelectSW->isEnabled());
        QVERIFY(inside(f()).ui.GPS_SelectSW->isEnabled());
    }

    void gpsListAlsoOffersNetworkSources() {
        h->ports.addDevice(QStringLiteral("ttyUSB0"));
        h->portList.list = {QStringLiteral("USB Serial (ttyUSB0) , /dev/ttyUSB0")};
        h->portList.gps = {QStringLiteral("gpsd (gpsd://localhost:2947) , localhost:2947")};
        h->start();
        // The radio port's list has the device only.
        inside(f()).ui.ComSelectSW->click();
        QCOMPARE(inside(f()).ui.Com_PortList->count(), 1);
        inside(f()).ui.ComSelectSW->click();
        // The GPS port's list has the device, then the gpsd; choosing it
        // fills the box with the source's name.
        inside(f()).ui.GPS_SelectSW->click();
        QCOMPARE(inside(f()).ui.Com_PortList->count(), 2);
        QCOMPARE(inside(f()).ui.Com_PortList->item(1)->text(), h->portList.gps.first());
        inside(f()).ui.Com_PortList->setCurrentRow(1);
        inside(f()).portSelection->Com_PortList_Click();
        QCOMPARE(inside(f()).ui.GPS_Port->text(), QStringLiteral("gpsd://localhost:2947"));
        QVERIFY(inside(f()).ui.ComSelectSW->isEnabled());
    }

    void sameButtonTwiceClosesWithoutChange() {
        h->start();
        QTest::mouseClick(inside(f()).ui.ComSelectSW, Qt::LeftButton);
        QTest::mouseClick(inside(f()).ui.ComSelectSW, Qt::LeftButton);
        QVERIFY(inside(f()).ui.Com_PortList->y() < 0);
        QVERIFY(inside(f()).ui.GPS_SelectSW->isEnabled());
    }

    void gpsInUse_keepsItsButtonDisabledAndItsPortUnlisted() {
        h->ports.addDevice(QStringLiteral("COM3"));
        h->start();
        gpsOnAtWorkedPosition();
        h->portList.list = {QStringLiteral("Port (COM9) , g"), QStringLiteral("Port (COM3) , r")};
        inside(f()).ui.ComSelectSW->click();
        QCOMPARE(inside(f()).ui.Com_PortList->count(), 1);
        inside(f()).ui.Com_PortList->setCurrentRow(0);
        inside(f()).portSelection->Com_PortList_Click();
        QCOMPARE(inside(f()).ui.Com_Port->text(), QStringLiteral("COM3"));
        QVERIFY(!inside(f()).ui.GPS_SelectSW->isEnabled());
        // Closing the radio list without a choice enables it, as designed.
        inside(f()).ui.ComSelectSW->click();
        inside(f()).ui.ComSelectSW->click();
        QVERIFY(inside(f()).ui.GPS_SelectSW->isEnabled());
    }

    void datumRoundTrip() {
        h->start();
        gpsOnAtWorkedPosition();
        const QString path = h->path(QStringLiteral("origin.pos"));
        h->dialogs.saveAnswers.enqueue(path);
        inside(f()).ui.Geten_SetSW->click();
        QCOMPARE(fileBytes(path), textfile::encode(kWorkedFile));
        QCOMPARE(h->dialogs.questions.size(), 0);
        inside(f()).st.DatumLatitude = inside(f()).st.DatumLongitude = inside(f()).st.DatumHeight = 0;
        h->dialogs.openAnswers.enqueue(path);
        inside(f()).ui.Geten_ReadSW->click();
        QCOMPARE(inside(f()).st.DatumLatitude, 35.6520566);
        QCOMPARE(inside(f()).st.DatumLongitude, 139.761315);
        QCOMPARE(inside(f()).st.DatumHeight, 40.5);
        QCOMPARE(inside(f()).ui.GPSMessage->text(), QString());
    }

    // The "NC:"/"EC:" corrections go with the file they came from: reading
    // another file, or setting a new point, leaves none behind; a failed read
    // keeps them with the rest of the datum point.
    void correctionsStayWithTheirFile() {
        h->start();
        const QString corrected = h->path(QStringLiteral("corrected.pos"));
        QVERIFY(textfile::write(corrected, kWorkedFile + QStringLiteral("NC:, 0.12, a\r\nEC:, -0.3, b\r\n")));
        const QString plain = h->path(QStringLiteral("plain.pos"));
        QVERIFY(textfile::write(plain, kWorkedFile));
        const auto read = [&](const QString& path) {
            h->dialogs.openAnswers.enqueue(path);
            inside(f()).ui.Geten_ReadSW->click();
        };
        read(corrected);
        QCOMPARE(inside(f()).st.NorthCorrection, 0.12);
        QCOMPARE(inside(f()).st.EastCorrection, -0.3);
        read(h->path(QStringLiteral("missing.pos")));
        QCOMPARE(inside(f()).st.NorthCorrection, 0.12);
        read(plain);
        QCOMPARE(inside(f()).st.NorthCorrection, 0.0);
        QCOMPARE(inside(f()).st.EastCorrection, 0.0);

        read(corrected);
        gpsOnAtWorkedPosition();
        const QString saved = h->path(QStringLiteral("new.pos"));
        h->dialogs.saveAnswers.enqueue(saved);
        inside(f()).ui.Geten_SetSW->click();
        QCOMPARE(inside(f()).st.NorthCorrection, 0.0);
        QCOMPARE(inside(f()).st.EastCorrection, 0.0);
        QCOMPARE(fileBytes(saved), textfile::encode(kWorkedFile));
    }

    void setWithGpsOffWritesTheHeaderOnly() {
        h->start();
        inside(f()).st.DatumLatitude = 35;
        const QString path = h->path(QStringLiteral("plain"));
        h->dialogs.saveAnswers.enqueue(path);
        inside(f()).ui.Geten_SetSW->click();
        QCOMPARE(fileBytes(path), textfile::encode(kHeader));
        QCOMPARE(inside(f()).st.DatumLatitude, 35.0);
    }

    void overwriteQuestion_data() {
        QTest::addColumn<bool>("answer");
        QTest::newRow("OK overwrites") << true;
        QTest::newRow("Cancel keeps the file") << false;
    }
    void overwriteQuestion() {
        QFETCH(bool, answer);
        h->start();
        gpsOnAtWorkedPosition();
        const QString path = h->path(QStringLiteral("old.pos"));
        QVERIFY(textfile::write(path, QStringLiteral("old\r\n")));
        h->dialogs.saveAnswers.enqueue(path);
        h->dialogs.confirmAnswers.enqueue(answer);
        inside(f()).ui.Geten_SetSW->click();
        QCOMPARE(h->dialogs.questions, QStringList{path + QStringLiteral("\r\nこのファイルはすでに存在します。\r\r\n上書きしますか？")});
        QCOMPARE(h->dialogs.titles, QStringList{QStringLiteral("設定ファイルの保存")});
        QCOMPARE(fileBytes(path), answer ? textfile::encode(kWorkedFile) : QByteArray("old\r\n"));
        // The datum point was taken before the dialogs, whatever the answer.
        QCOMPARE(inside(f()).st.DatumLatitude, 35.6520566);
    }

    void emptyExistingFileWrittenWithoutAsking() {
        h->start();
        const QString path = h->path(QStringLiteral("empty.pos"));
        QVERIFY(textfile::write(path, QString()));
        h->dialogs.saveAnswers.enqueue(path);
        inside(f()).ui.Geten_SetSW->click();
        QCOMPARE(h->dialogs.questions.size(), 0);
        QCOMPARE(fileBytes(path), textfile::encode(kHeader));
    }

    void readFailuresKeepTheDatumPoint_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("content");   // empty: no such file
        QTest::newRow("missing file") << "nothere.pos" << "";
        QTest::newRow("incomplete three") << "cut.pos" << "N:,10,a\r\nE:,20\r\n";
    }
    void readFailuresKeepTheDatumPoint() {
        QFETCH(QString, name);
        QFETCH(QString, content);
        h->start();
        const QString path = h->path(name);
        if (!content.isEmpty()) QVERIFY(textfile::write(path, content));
        inside(f()).st.DatumLatitude = 1;
        inside(f()).st.DatumLongitude = 2;
        inside(f()).st.DatumHeight = 3;
        h->dialogs.openAnswers.enqueue(path);
        inside(f()).ui.Geten_ReadSW->click();
        QCOMPARE(inside(f()).st.DatumLatitude, 1.0);
        QCOMPARE(inside(f()).st.DatumLongitude, 2.0);
        QCOMPARE(inside(f()).st.DatumHeight, 3.0);
        QCOMPARE(inside(f()).ui.GPSMessage->text(), DatumPoint::kReadFailed);
    }

    void cancelledDialogsChangeNothing() {
        h->start();
        inside(f()).st.DatumLatitude = 5;
        inside(f()).ui.Geten_ReadSW->click();
        inside(f()).ui.Geten_SetSW->click();
        QCOMPARE(h->dialogs.opens, 1);
        QCOMPARE(h->dialogs.saves, 1);
        QCOMPARE(inside(f()).st.DatumLatitude, 5.0);
        QCOMPARE(inside(f()).ui.GPSMessage->text(), QString());
    }

    void unwritableFileReported() {
        h->start();
        h->dialogs.saveAnswers.enqueue(h->path(QStringLiteral("no/such/folder/x.pos")));
        inside(f()).ui.Geten_SetSW->click();
        QCOMPARE(inside(f()).ui.GPSMessage->text(), DatumPoint::kWriteFailed);
    }

    void periodRaisedOnLosingTheFocus_data() {
        QTest::addColumn<int>("field");     // -1 FSKTxTime, else LoRaTxTime(i)
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::newRow("FSK 250") << -1 << "250" << "300";
        QTest::newRow("FSK 300 stays") << -1 << "300" << "300";
        QTest::newRow("FSK 301 stays") << -1 << "301" << "301";
        QTest::newRow("FSK 5000ms as typed") << -1 << "5000ms" << "5000ms";
        QTest::newRow("FSK empty") << -1 << "" << "300";
        QTest::newRow("FSK abc") << -1 << "abc" << "300";
        QTest::newRow("LoRa 5 60000") << 5 << "60000" << "66000";
        QTest::newRow("LoRa 0 3700 stays") << 0 << "3700" << "3700";
    }
    void periodRaisedOnLosingTheFocus() {
        QFETCH(int, field);
        QFETCH(QString, typed);
        h->start();
        f().activateWindow();
        QLineEdit* box = field < 0 ? inside(f()).ui.FSKTxTime : inside(f()).LoRaTxTime[field];
        box->setFocus();
        box->setText(typed);
        QCOMPARE(box->text(), typed);   // not corrected while being edited
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(box, &out);
        QTEST(box->text(), "after");
    }

    void fileNameWarningColour() {
        h->start();
        const QColor warning = colourFromValue(0xC0C0FF);
        const QColor normal = QApplication::palette(inside(f()).ui.LogFileName).color(QPalette::Base);
        auto base = [](QLineEdit* e) { return e->palette().color(QPalette::Base); };
        inside(f()).ui.LogFileName->setText(QString());
        QCOMPARE(base(inside(f()).ui.LogFileName), warning);
        inside(f()).ui.LogFileName->setText(QStringLiteral("test1"));
        QCOMPARE(base(inside(f()).ui.LogFileName), normal);
        inside(f()).ui.LogFileName->setText(QStringLiteral("任意ファイル名"));
        QCOMPARE(base(inside(f()).ui.LogFileName), warning);
        inside(f()).ui.MapFileName->setText(QStringLiteral(" "));
        QCOMPARE(base(inside(f()).ui.MapFileName), normal);
    }
};

QTEST_MAIN(GpsWindowTest)
#include "gps_window_test.moc"
