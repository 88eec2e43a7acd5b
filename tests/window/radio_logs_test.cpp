// The communication log and the map logs: file names, the exact bytes on
// disk (code page 932, CR LF, the map header once), the bounded on-screen
// copies, and files that cannot be written.
#include "WindowHarness.h"
#include "common/TextFile.h"
#include "results/LogWriters.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class RadioLogsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowHarness> h;

    Form1& f() { return h->form(); }
    QByteArray bytesOf(const QString& name) {
        QFile file(h->path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void setGps(bool on) {
        inside(f()).ui.GPS_On->blockSignals(true);   // the GPS port is not under test
        inside(f()).ui.GPS_On->setChecked(on);
        inside(f()).ui.GPS_On->blockSignals(false);
    }
    void names(const QString& logName, const QString& mapName) {
        inside(f()).ui.LogFileHedder->setText(QStringLiteral("170921_FSK Mode_"));
        inside(f()).ui.MapFileHedder->setText(QStringLiteral("170921_FSK Mode_Map_"));
        inside(f()).ui.LogFileName->setText(logName);
        inside(f()).ui.MapFileName->setText(mapName);
    }
    static QByteArray header() { return "N: ,E: ,M: ,RX-RSSI ,Ack-RSSI ,Floor Noise\r\n"; }

private slots:
    void init() {
        h = std::make_unique<WindowHarness>();
        h->start();
        inside(f()).ui.Message->clear();
        inside(f()).ui.LogFile_Flg->setChecked(true);
        setGps(false);
        names(QStringLiteral("test"), QStringLiteral("test"));
    }
    void cleanup() { h.reset(); }

    void commLogBytes() {
        inside(f()).logs->AppendCommLog(QStringLiteral("\r\n-------< Start:2017/09/21 13:05:09 > -------"));
        inside(f()).logs->AppendCommLog(QStringLiteral("\r\n試験時間,試験コマンド"));
        inside(f()).logs->AppendCommLog(QStringLiteral("\r\n13:05:10,@DT05001XX,"));   // send half
        inside(f()).logs->AppendCommLog(QStringLiteral("*DR=05001･･, 47,-75"));       // evaluation half
        const QByteArray expected = QByteArray("\r\n-------< Start:2017/09/21 13:05:09 > -------\r\n") +
                                    QByteArray("\x8E\x8E\x8C\xB1\x8E\x9E\x8A\xD4,\x8E\x8E\x8C\xB1\x83R\x83}\x83\x93\x83h") +
                                    QByteArray("\r\n13:05:10,@DT05001XX,*DR=05001\xA5\xA5, 47,-75");
        QCOMPARE(bytesOf(QStringLiteral("170921_FSK Mode_test.log")), expected);
        QCOMPARE(inside(f()).ui.Message->text(), QString());
    }

    void commLogNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::newRow("empty name") << QString() << QStringLiteral("170921_FSK Mode_.log");
        QTest::newRow("placeholder kept") << QStringLiteral("任意ファイル名") << QStringLiteral("170921_FSK Mode_任意ファイル名.log");
        QTest::newRow("blanks kept") << QStringLiteral(" a b ") << QStringLiteral("170921_FSK Mode_ a b .log");
    }
    void commLogNames() {
        QFETCH(QString, name);
        QFETCH(QString, file);
        inside(f()).ui.LogFileName->setText(name);
        inside(f()).logs->AppendCommLog(QStringLiteral("x"));
        QCOMPARE(bytesOf(file), QByteArray("x"));
        // Recomputed at every call.
        inside(f()).ui.LogFileHedder->setText(QStringLiteral("170922_LoRa128_"));
        inside(f()).logs->AppendCommLog(QStringLiteral("y"));
        QCOMPARE(bytesOf(file), QByteArray("x"));
        QCOMPARE(bytesOf(QStringLiteral("170922_LoRa128_") + name + QStringLiteral(".log")), QByteArray("y"));
    }

    void commLogWithoutFileSaving() {
        inside(f()).ui.LogFile_Flg->setChecked(false);
        inside(f()).logs->AppendCommLog(QStringLiteral("\r\nline"));
        QCOMPARE(inside(f()).logs->commLogText(), QStringLiteral("\r\nline"));
        QCOMPARE(inside(f()).ui.LogText->toPlainText(), QStringLiteral("\nline"));
        QCOMPARE(QDir(h->dir()).entryList({QStringLiteral("*.log")}, QDir::Files), QStringList());
    }

    void logTextKeepsTheLast2000Characters() {
        QString text;
        for (int i = 0; i < 2500; ++i)
            text += QChar(i % 2 ? u'あ' : QChar(u'0' + i % 10));
        inside(f()).logs->AppendCommLog(text);
        QCOMPARE(inside(f()).logs->commLogText(), text.right(2000));
        QCOMPARE(inside(f()).ui.LogText->toPlainText(), text.right(2000));
        QCOMPARE(inside(f()).ui.LogText->textCursor().position(), 2000);
        QCOMPARE(textfile::decode(bytesOf(QStringLiteral("170921_FSK Mode_test.log"))), text);   // the file keeps all
        inside(f()).logs->AppendCommLog(QStringLiteral("z"));
        QCOMPARE(inside(f()).logs->commLogText(), text.right(1999) + QStringLiteral("z"));
    }

    void mapFilesGetTheHeaderOnce() {
        setGps(true);
        const QString ok = QStringLiteral("35.1,139.2,12.5,-75,-80,-110\r\n");
        const QString bad = QStringLiteral("35.1,139.2,12.5,,,-110\r\n");
        inside(f()).logs->AppendMapCsv(ok);
        inside(f()).logs->AppendMapLog(ok);
        inside(f()).logs->AppendMapLog(bad);
        QCOMPARE(bytesOf(QStringLiteral("170921_FSK Mode_Map_test.csv")), header() + ok.toLatin1());
        QCOMPARE(bytesOf(QStringLiteral("170921_FSK Mode_Map_test.log")), header() + ok.toLatin1() + bad.toLatin1());
        // A later run appending to the same files adds no second header.
        inside(f()).logs->clearViews();
        inside(f()).logs->AppendMapCsv(ok);
        QCOMPARE(bytesOf(QStringLiteral("170921_FSK Mode_Map_test.csv")), header() + ok.toLatin1() + ok.toLatin1());
        QCOMPARE(inside(f()).logs->mapText(), ok);
    }

    void existingEmptyMapFileGetsTheHeader() {
        setGps(true);
        QFile empty(h->path(QStringLiteral("170921_FSK Mode_Map_test.csv")));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        inside(f()).logs->AppendMapCsv(QStringLiteral("1,2,3,4,5,6\r\n"));
        QCOMPARE(bytesOf(QStringLiteral("170921_FSK Mode_Map_test.csv")), header() + "1,2,3,4,5,6\r\n");
    }

    void mapLogsIdleWithoutGps() {
        inside(f()).logs->AppendMapCsv(QStringLiteral("a\r\n"));
        inside(f()).logs->AppendMapLog(QStringLiteral("a\r\n"));
        QCOMPARE(inside(f()).ui.MapText->toPlainText(), QString());
        QCOMPARE(QDir(h->dir()).entryList({QStringLiteral("*Map_*")}, QDir::Files), QStringList());
    }

    void mapTextKeepsTheLast300Characters() {
        setGps(true);
        QString line = QStringLiteral("35.123456,139.123456,12.5,-75,-80,-110\r\n");   // 40 characters
        for (int i = 0; i < 10; ++i)
            inside(f()).logs->AppendMapLog(line);
        QCOMPARE(inside(f()).logs->mapText().size(), 300);
        QVERIFY(inside(f()).logs->mapText().endsWith(line));
        QCOMPARE(inside(f()).ui.MapText->textCursor().position(), inside(f()).ui.MapText->document()->characterCount() - 1);
    }

    void unwritableFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a folder in the way") << QStringLiteral("dir") << QStringLiteral("170921_FSK Mode_dir.log");
        QTest::newRow("into a missing folder") << QStringLiteral("no/such") << QStringLiteral("170921_FSK Mode_no/such.log");
    }
    void unwritableFiles() {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QVERIFY(QDir(h->dir()).mkdir(QStringLiteral("170921_FSK Mode_dir.log")));
        // A good file first: it must survive untouched.
        inside(f()).logs->AppendCommLog(QStringLiteral("\r\nfirst"));
        inside(f()).ui.LogFileName->setText(name);
        inside(f()).logs->AppendCommLog(QStringLiteral("\r\nsecond"));
        QCOMPARE(inside(f()).ui.Message->text(), QStringLiteral("ログ書込異常: ") + shown);
        QCOMPARE(inside(f()).logs->commLogText(), QStringLiteral("\r\nfirst\r\nsecond"));   // nothing lost on screen
        inside(f()).ui.LogFileName->setText(QStringLiteral("test"));
        inside(f()).logs->AppendCommLog(QStringLiteral("\r\nthird"));
        QCOMPARE(bytesOf(QStringLiteral("170921_FSK Mode_test.log")), QByteArray("\r\nfirst\r\nthird"));
        QCOMPARE(inside(f()).logs->commLogText(), QStringLiteral("\r\nfirst\r\nsecond\r\nthird"));
    }

    // A log that cannot be written for a while (a folder in its way, then
    // gone): Message names it only while it fails, standard error keeps
    // when it failed, when it was written again and how much was lost.
    void failureShownOnlyWhileItLasts() {
        setGps(true);
        const QString mode = QStringLiteral(" モードによる通信");
        inside(f()).ui.Message->setText(mode);
        QDir dir(h->dir());
        QVERIFY(dir.mkdir(QStringLiteral("170921_FSK Mode_test.log")));
        QVERIFY(dir.mkdir(QStringLiteral("170921_FSK Mode_Map_test.csv")));
        const QString at = QStringLiteral("^2017/09/21 13:05:09 ");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(at + "log not written: .*/170921_FSK Mode_test.log - "));
        inside(f()).logs->AppendCommLog(QStringLiteral("\r\nlost 1"));
        QCOMPARE(inside(f()).ui.Message->text(), QStringLiteral("ログ書込異常: 170921_FSK Mode_test.log"));
        inside(f()).logs->AppendCommLog(QStringLiteral("\r\nlost 2"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(at + "log not written: .*/170921_FSK Mode_Map_test.csv"));
        inside(f()).logs->AppendMapCsv(QStringLiteral("1,2,3,4,5,6\r\n"));
        QCOMPARE(inside(f()).ui.Message->text(), QStringLiteral("ログ書込異常: 170921_FSK Mode_Map_test.csv"));

        QVERIFY(dir.rmdir(QStringLiteral("170921_FSK Mode_Map_test.csv")));
        h->advance(60'000);
        const QString later = QStringLiteral("^2017/09/21 13:06:09 ");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(later + "log written again: .*/170921_FSK Mode_Map_test.csv - lines lost: 1$"));
        inside(f()).logs->AppendMapCsv(QStringLiteral("1,2,3,4,5,6\r\n"));
        // The log still failing is named again.
        QCOMPARE(inside(f()).ui.Message->text(), QStringLiteral("ログ書込異常: 170921_FSK Mode_test.log"));

        QVERIFY(dir.rmdir(QStringLiteral("170921_FSK Mode_test.log")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(later + "log written again: .*/170921_FSK Mode_test.log - lines lost: 2$"));
        inside(f()).logs->AppendCommLog(QStringLiteral("\r\nkept"));
        QCOMPARE(inside(f()).ui.Message->text(), mode);
        QCOMPARE(bytesOf(QStringLiteral("170921_FSK Mode_test.log")), QByteArray("\r\nkept"));

        // A later failure after another text took Message's place restores
        // that text.
        inside(f()).ui.Message->setText(QStringLiteral(" 1024 chipによる通信"));
        QVERIFY(dir.mkdir(QStringLiteral("170921_FSK Mode_Map_test.log")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("log not written"));
        inside(f()).logs->AppendMapLog(QStringLiteral("x\r\n"));
        QVERIFY(dir.rmdir(QStringLiteral("170921_FSK Mode_Map_test.log")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("log written again"));
        inside(f()).logs->AppendMapLog(QStringLiteral("x\r\n"));
        QCOMPARE(inside(f()).ui.Message->text(), QStringLiteral(" 1024 chipによる通信"));
    }

    void unwritableMapFile() {
        setGps(true);
        QVERIFY(QDir(h->dir()).mkdir(QStringLiteral("170921_FSK Mode_Map_test.csv")));
        inside(f()).logs->AppendMapCsv(QStringLiteral("1,2,3,4,5,6\r\n"));
        inside(f()).logs->AppendMapLog(QStringLiteral("1,2,3,4,5,6\r\n"));
        QCOMPARE(inside(f()).ui.Message->text(), QStringLiteral("ログ書込異常: 170921_FSK Mode_Map_test.csv"));
        QCOMPARE(bytesOf(QStringLiteral("170921_FSK Mode_Map_test.log")), header() + "1,2,3,4,5,6\r\n");
        QCOMPARE(inside(f()).logs->mapText(), QStringLiteral("1,2,3,4,5,6\r\n1,2,3,4,5,6\r\n"));
    }
};

QTEST_MAIN(RadioLogsTest)
#include "radio_logs_test.moc"
