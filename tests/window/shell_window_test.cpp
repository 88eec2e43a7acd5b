// The window at start-up, on resize and at shutdown, with its settings file.
#include "WindowHarness.h"
#include "common/TextFile.h"
#include "common/Twips.h"
#include "platform/SerialPort.h"
#include "platform/Timer.h"

#include <QtTest>

#include <sys/fsuid.h>
#include <unistd.h>

namespace {

// File access as an ordinary user for the scope: root reads any file, so
// a test of an unreadable file drops the file-system identity of the
// process (on Linux the file-access checks follow it) while it lasts.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() {
        if (geteuid() == 0) {
            setfsuid(65534);
            dropped_ = setfsuid(65534) == 65534;
        }
    }
    ~AsOrdinaryUser() {
        if (dropped_)
            setfsuid(0);
    }
    bool denied(const QString& path) const { return !QFile(path).open(QIODevice::ReadOnly); }

private:
    bool dropped_ = false;
};

QString settingsText(const QStringList& lines) { return lines.join("\r\n") + "\r\n"; }

int twipsTop(QWidget* w) { return pixelsToTwips(w->y()); }

} // namespace

class ShellWindowTest : public QObject {
    Q_OBJECT
private slots:
    void inventory_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tooltip");
        QTest::newRow("Com_Port") << "Com_Port" << "QLineEdit" << "" << "QVX-760D/QVX-760Mが接続されているComポート番号を選択。";
        QTest::newRow("ComSelectSW") << "ComSelectSW" << "QPushButton" << "ポート選択" << "";
        QTest::newRow("GPS_On") << "GPS_On" << "QCheckBox" << "GPS使用" << "GPS接続ポートを選択。(NMEA Formatの$GPGGAデータより位置情報を取得)";
        QTest::newRow("TestStartSW(0)") << "TestStartSW(0)" << "QPushButton" << "連続送受信(停止中)" << "";
        QTest::newRow("TestStartSW(1)") << "TestStartSW(1)" << "QPushButton" << "指定回数送受信(停止中)" << "";
        QTest::newRow("FSKData") << "FSKData" << "QLineEdit" << "000" << "";
        QTest::newRow("FSKDmy") << "FSKDmy" << "QLineEdit" << "XX" << "";
        QTest::newRow("Tx_CnEnd") << "Tx_CnEnd" << "QLineEdit" << "100" << "";
        QTest::newRow("Label13") << "Label13" << "QLabel" << "<Cr><Lf>" << "";
        QTest::newRow("Label10") << "Label10" << "QLabel" << "       FSK Mode：             ms" << "";
        QTest::newRow("Label45") << "Label45" << "QLabel" << "LoRa 4096chip ：             ms" << "";
        QTest::newRow("RFLevel(8)") << "RFLevel(8)" << "QLabel" << "-160" << "";
        QTest::newRow("RssiGraph_Sel(1)") << "RssiGraph_Sel(1)" << "QRadioButton" << "応答 RSSI値" << "グラフ表示の選択";
        QTest::newRow("GraphOption") << "GraphOption" << "QCheckBox" << "通信成功時のみグラフ表示" << "";
        QTest::newRow("Picture1") << "Picture1" << "RssiGraph" << "" << "各RSSI値をスクロール表示します。";
        QTest::newRow("Geten_SetSW") << "Geten_SetSW" << "QPushButton" << "原点設定" << "現在のGPS測位点を原点とします。";
        QTest::newRow("MapFileName") << "MapFileName" << "QLineEdit" << "任意ファイル名" << "ファイル名に任意の文字列を付加、(ファイル名禁止文字に注意！)";
        QTest::newRow("LogFile_Flg") << "LogFile_Flg" << "QCheckBox" << "File保存" << "通信途中からの保存開始はできません";
        QTest::newRow("FormLabel(6)") << "FormLabel(6)" << "QLabel" << "デバック用" << "";
        QTest::newRow("Frame(6)") << "Frame(6)" << "QGroupBox" << "" << "";
        QTest::newRow("Com_PortList") << "Com_PortList" << "QListWidget" << "" << "何れか選択するか、再度「ポート選択」ボタンで閉じます。";
        QTest::newRow("ChkData") << "ChkData" << "QLineEdit" << "" << "";
    }

    void inventory() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(QString, tooltip);
        WindowHarness h;
        Form1& f = h.start();
        const auto found = f.findChildren<QWidget*>(name);
        QCOMPARE(found.size(), 1);
        QWidget* w = found.first();
        QCOMPARE(QString(w->metaObject()->className()), kind);
        QCOMPARE(w->toolTip(), tooltip);
        if (auto* l = qobject_cast<QLabel*>(w)) QCOMPARE(l->text(), text);
        if (auto* b = qobject_cast<QAbstractButton*>(w)) QCOMPARE(b->text(), text);
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            QCOMPARE(e->text(), text);
            QCOMPARE(e->accessibleName(), name);
        }
    }

    void startUpState() {
        WindowHarness h;
        Form1& f = h.start();
        QCOMPARE(f.windowTitle(), QString("QVX-760D/M  ループバック通信試験   Ver.= 0.900.5"));
        QCOMPARE(inside(f).ui.GPS_Baudrate->count(), 5);
        QCOMPARE(inside(f).ui.GPS_Baudrate->currentText(), QString("9600"));
        QCOMPARE(inside(f).ui.GPSdata_clr->currentText(), QString("$GPGGA"));
        QCOMPARE(inside(f).ui.FSKTxTime->text(), QString("300"));
        QCOMPARE(inside(f).LoRaTxTime[5]->text(), QString("66000"));
        QCOMPARE(inside(f).ui.LogFileHedder->text(), QString("170921_Mode_"));
        QCOMPARE(inside(f).ui.MapFileHedder->text(), QString("170921_Mode_Map_"));
        QVERIFY(inside(f).ui.Message->text().isEmpty());
        QVERIFY(inside(f).ui.ComMessage->text().isEmpty());
        QCOMPARE(twipsTop(inside(f).ui.Com_PortList), -3000);
        QVERIFY(!inside(f).ui.Com_PortList->isEnabled());
        QCOMPARE(twipsTop(inside(f).RFLevel[0]), 2970);
        QCOMPARE(twipsTop(inside(f).RFLevel[8]), 5850);
        QCOMPARE(twipsTop(inside(f).ui.Label25), 6090);
        QVERIFY(inside(f).GPSTimer->isEnabled());
        QVERIFY(!inside(f).Tx_Timer->isEnabled() && !inside(f).InitialTimer->isEnabled() && !inside(f).Timer1->isEnabled());
        QCOMPARE(inside(f).ui.LogFileName->palette().color(QPalette::Base), QColor(255, 192, 192));
    }

    void resizeRule() {
        WindowHarness h;
        Form1& f = h.start();
        const QSize start = f.size();
        f.resize(start + QSize(1000 / 15, 1000 / 15));
        QCoreApplication::processEvents();
        QCOMPARE(inside(f).ui.Frame_4->width(), twipsToPixels(12855 + 990));
        QCOMPARE(inside(f).ui.LogText->height(), twipsToPixels(875 + 990));
        f.resize(start);
        QCoreApplication::processEvents();
        QCOMPARE(pixelsToTwips(inside(f).ui.Frame_4->width()), 12855);
        QCOMPARE(pixelsToTwips(inside(f).ui.Frame_4->height()), 1815);
        QCOMPARE(pixelsToTwips(inside(f).ui.LogText->width()), 12495);
        QCOMPARE(pixelsToTwips(inside(f).ui.LogText->height()), 975);
    }

    void firstStartLeavesAnEmptyFileAndTheCloseFillsIt() {
        WindowHarness h;
        h.start();
        QFileInfo ini(h.settingsPath());
        QVERIFY(ini.exists());
        QCOMPARE(ini.size(), 0);
        h.close();
        QString text;
        QVERIFY(textfile::read(h.settingsPath(), &text));
        QCOMPARE(text.count("\r\n"), 15);
        QVERIFY(text.startsWith("Form1_Top    ,"));
    }

    void settingsAreAppliedWithTheirRules() {
        WindowHarness h(QSize(1920, 1080));
        QVERIFY(textfile::write(h.settingsPath(), settingsText({
            "tx_com       ,COM9  ,lower case is not the key",
            "FSKTxTime    ,250  ,x",
            "LoRaTxTime(5),abc  ,x",
            "LoRaTxTime(0),3700  ,x",
            "Unknown,1,2",
            "TX_CnEnd     ,0  ,x",
            "Tx_Com       ,COM3  ,x",
            "Form1_Top    ,-120  ,x",
            "Form1_Left   ,999999  ,x",
            "GPS_Baudrate ,4800  ,x",
        })));
        Form1& f = h.start();
        QCOMPARE(inside(f).ui.Com_Port->text(), QString("COM3"));
        QCOMPARE(inside(f).ui.FSKTxTime->text(), QString("300"));
        QCOMPARE(inside(f).LoRaTxTime[5]->text(), QString("66000"));
        QCOMPARE(inside(f).LoRaTxTime[0]->text(), QString("3700"));
        QCOMPARE(inside(f).ui.Tx_CnEnd->text(), QString("0"));
        QCOMPARE(inside(f).ui.GPS_Baudrate->currentText(), QString("4800"));
        QCOMPARE(f.pos().y(), 0);
        QCOMPARE(pixelsToTwips(f.pos().x()), 1920 * 15 - 13455 + 0);
    }

    void positionClampAndRepeatedKeys_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("topTwips");
        QTest::addColumn<QString>("txCom");
        QTest::newRow("beyond the limit") << QStringList{"Form1_Top,99999,x"} << 1080 * 15 - 10380 << "";
        QTest::newRow("at the limit") << QStringList{"Form1_Top,5820,x"} << 5820 << "";
        QTest::newRow("negative") << QStringList{"Form1_Top,-1,x"} << 0 << "";
        QTest::newRow("empty counts as 0") << QStringList{"Form1_Top,,x"} << 0 << "";
        QTest::newRow("later record wins") << QStringList{"Tx_Com,COM1,x", "Form1_Top,900,x", "Tx_Com,COM2,x"} << 900 << "COM2";
        QTest::newRow("record cut short") << QStringList{"Form1_Top,1500,x", "Tx_Com,COM8"} << 1500 << "";
        QTest::newRow("quoted comma") << QStringList{"Tx_Com,\"A,B\",x", "Form1_Top,600,x"} << 600 << "A,B";
    }

    void positionClampAndRepeatedKeys() {
        QFETCH(QStringList, lines);
        QFETCH(int, topTwips);
        QFETCH(QString, txCom);
        WindowHarness h(QSize(1920, 1080));
        QVERIFY(textfile::write(h.settingsPath(), settingsText(lines)));
        Form1& f = h.start();
        QCOMPARE(twipsTop(&f), topTwips);
        QCOMPARE(inside(f).ui.Com_Port->text(), txCom);
    }

    void roundTripAcrossARestart() {
        WindowHarness h;
        {
            Form1& f = h.start();
            inside(f).ui.Com_Port->setText("/dev/pts/7");
            inside(f).ui.FSKTxTime->setText("5000");
            inside(f).ui.Tx_CnEnd->setText("10,5");
            h.close();
        }
        Form1& f = h.start();
        QCOMPARE(inside(f).ui.Com_Port->text(), QString("/dev/pts/7"));
        QCOMPARE(inside(f).ui.FSKTxTime->text(), QString("5000"));
        QCOMPARE(inside(f).ui.Tx_CnEnd->text(), QString("10,5"));
        QCOMPARE(inside(f).LoRaTxTime[3]->text(), QString("19000"));
    }

    void unusableSettingsFileStillStartsAndCloses() {
        WindowHarness h;
        QVERIFY(QDir(h.dir()).mkdir("qvx-loopback.ini"));  // a directory in its place
        Form1& f = h.start();
        QVERIFY(inside(f).ui.Message->text().contains("設定ファイル"));
        QCOMPARE(inside(f).ui.FSKTxTime->text(), QString("300"));
        h.close();  // reports on standard error, never crashes
        QVERIFY(QFileInfo(h.settingsPath()).isDir());
    }

    // A settings file that exists but cannot be read is kept as it is at
    // shutdown, not replaced by the start-up defaults the window shows.
    void unreadableSettingsFileIsKept() {
        WindowHarness h;
        const QString own = settingsText({"Tx_Com       ,COM4  ,x", "TX_CnEnd     ,25  ,x"});
        QVERIFY(textfile::write(h.settingsPath(), own));
        // The folder open to everyone, the file writable by everyone and
        // readable by no one.
        QVERIFY(QFile::setPermissions(h.dir(), QFileDevice::Permissions(0x7777)));
        QVERIFY(QFile::setPermissions(h.settingsPath(), QFileDevice::WriteOwner | QFileDevice::WriteUser |
                                                            QFileDevice::WriteGroup | QFileDevice::WriteOther));
        {
            AsOrdinaryUser user;
            if (!user.denied(h.settingsPath()))
                QSKIP("this process reads files whatever their permissions");
            Form1& f = h.start();
            QCOMPARE(inside(f).ui.Message->text(), QString("設定ファイル読込異常: qvx-loopback.ini"));
            QCOMPARE(inside(f).ui.Com_Port->text(), QString());
            h.close();
        }
        QVERIFY(QFile::setPermissions(h.settingsPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QString text;
        QVERIFY(textfile::read(h.settingsPath(), &text));
        QCOMPARE(text, own);
    }

    void shutdownClosesOpenPortsBeforeWritingTheSettings() {
        WindowHarness h;
        FakeDevice* radio = h.ports.addDevice("COM3");
        Form1& f = h.start();
        QVERIFY(inside(f).MSComm1->open("COM3", 19200));
        qint64 sizeWhenClosed = -1;
        QObject::connect(radio, &FakeDevice::closed, [&] { sizeWhenClosed = QFileInfo(h.settingsPath()).size(); });
        h.close();
        QCOMPARE(sizeWhenClosed, qint64(0));
        QVERIFY(QFileInfo(h.settingsPath()).size() > 0);
    }
};

QTEST_MAIN(ShellWindowTest)
#include "shell_window_test.moc"
