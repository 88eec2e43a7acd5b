// The port list: the port name in an entry, the fake device query with
// busy and missing ports, the target box, the buttons' states, the list's
// place under its box, and the GPS side's network sources, on the window
// with fakes.
#include "WindowHarness.h"
#include "gps_worked_fix.h"
#include "ports/PortSelection.h"

#include <QtTest>

class PortsSelectionTest : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowHarness> h;
    Form1& f() { return h->form(); }

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
        gpsOnAtWorkedPosition(*h);
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
};

QTEST_MAIN(PortsSelectionTest)
#include "ports_selection_test.moc"
