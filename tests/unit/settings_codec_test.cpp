// The settings file text: the exact lines the writer produces, and a reader
// that stays in step whatever the file holds.
#include "shell/SettingsCodec.h"

#include <QtTest>

using Records = QList<QPair<QString, QString>>;

class SettingsCodecTest : public QObject {
    Q_OBJECT

    static settingscodec::Values defaults() {
        settingscodec::Values v;
        v.top = "1830";
        v.left = "2400";
        v.txCom = "COM3";
        v.gpsCom = "COM5";
        v.gpsBaudrate = "9600";
        v.gpsDataClr = "$GPGGA";
        v.fskTxTime = "300";
        v.loRaTxTime = QStringList{"3700", "5800", "10000", "19000", "34000", "66000"};
        v.txCnEnd = "100";
        return v;
    }

private slots:
    void writesTheFifteenLinesExactly() {
        const QString text = settingscodec::write(defaults());
        const QStringList lines = text.split("\r\n");
        QCOMPARE(lines.size(), 16);  // 15 lines, each ended by CR LF
        QVERIFY(lines.last().isEmpty());
        QCOMPARE(lines[0], QString("Form1_Top    ,1830  ,画面位置"));
        QCOMPARE(lines[2], QString("Tx_Com       ,COM3  ,送信機Com通信ポート"));
        QCOMPARE(lines[3], QString("GPS_Com      ,COM5  ,GPS受信機Com通信ポート"));
        QCOMPARE(lines[6], QString("---ｺﾏﾝﾄﾞﾓｰﾄﾞ(3Byte＆RSSIﾀﾞﾐｰ2Byte)通信での設定,---,---"));
        QCOMPARE(lines[8], QString("LoRaTxTime(0),3700  ,送受信周期(128chip)"));
        QCOMPARE(lines[13], QString("LoRaTxTime(5),66000  ,送受信周期(4096chip)"));
        QCOMPARE(lines[14], QString("TX_CnEnd     ,100  ,送受信の指定回数"));
        QVERIFY(!text.contains('\n' + QString("\n")));
    }

    void readsBackWhatItWrote() {
        const Records r = settingscodec::read(settingscodec::write(defaults()));
        QCOMPARE(r.size(), 15);
        QCOMPARE(r[0], qMakePair(QString("Form1_Top"), QString("1830")));
        QCOMPARE(r[6].first, QString("---ｺﾏﾝﾄﾞﾓｰﾄﾞ(3Byte＆RSSIﾀﾞﾐｰ2Byte)通信での設定"));
        QCOMPARE(r[14], qMakePair(QString("TX_CnEnd"), QString("100")));
    }

    void fieldsRunAcrossLineEnds() {
        // A line with two fields takes its third from the next line.
        const Records r = settingscodec::read("Tx_Com,COM7\r\nx\r\nGPS_Com , COM9 ,c\r\n");
        QCOMPARE(r, (Records{{"Tx_Com", "COM7"}, {"GPS_Com", "COM9"}}));
    }

    void dropsARecordCutShortAtTheEnd() {
        QCOMPARE(settingscodec::read("Tx_Com,COM7,c\r\nGPS_Com,COM9"), (Records{{"Tx_Com", "COM7"}}));
        QCOMPARE(settingscodec::read(""), Records{});
        QCOMPARE(settingscodec::read("\r\n\r\n"), Records{});
    }

    void valuesWithCommasAndQuotesDoNotShiftTheRecords() {
        settingscodec::Values v = defaults();
        v.txCom = "COM3,x";
        v.gpsCom = "say \"hi\"";
        v.gpsDataClr = " padded ";
        const Records r = settingscodec::read(settingscodec::write(v));
        QCOMPARE(r.size(), 15);
        QCOMPARE(r[2].second, QString("COM3,x"));
        QCOMPARE(r[3].second, QString("say \"hi\""));
        QCOMPARE(r[5].second, QString(" padded "));
        QCOMPARE(r[14], qMakePair(QString("TX_CnEnd"), QString("100")));
    }

    void positionsAreShortestSinglePrecisionTexts() {
        QCOMPARE(settingscodec::positionText(1830), QString("1830"));
        QCOMPARE(settingscodec::positionText(-120), QString("-120"));
        QCOMPARE(settingscodec::positionText(0), QString("0"));
        QCOMPARE(settingscodec::positionText(1830.5), QString("1830.5"));
        QCOMPARE(settingscodec::positionText(0.1), QString("0.1"));  // single precision, shortest text
        QCOMPARE(settingscodec::positionText(16777217), QString("1.677722e+07"));
    }

    void plainValuesAreWrittenUnquoted_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("written");
        QTest::newRow("port") << "COM3" << "Tx_Com       ,COM3  ,";
        QTest::newRow("device path") << "/dev/ttyUSB0" << "Tx_Com       ,/dev/ttyUSB0  ,";
        QTest::newRow("empty") << "" << "Tx_Com       ,  ,";
        QTest::newRow("inner blank") << "A B" << "Tx_Com       ,A B  ,";
        QTest::newRow("comma") << "A,B" << "Tx_Com       ,\"A,B\"  ,";
        QTest::newRow("quote") << "A\"B" << "Tx_Com       ,\"A\"\"B\"  ,";
    }

    void plainValuesAreWrittenUnquoted() {
        QFETCH(QString, value);
        QFETCH(QString, written);
        settingscodec::Values v = defaults();
        v.txCom = value;
        const QString text = settingscodec::write(v);
        QVERIFY2(text.contains("\r\n" + written + QString("送信機")), qPrintable(text));
        QCOMPARE(settingscodec::read(text).at(2).second, value);
    }

    void malformedQuotesStayInStep() {
        // An unterminated quote swallows the rest; a quote followed by text
        // keeps the quoted part. Neither crashes nor invents records.
        QCOMPARE(settingscodec::read("Tx_Com,\"COM3,c\r\nGPS_Com,COM5,c\r\n").size(), 0);
        QCOMPARE(settingscodec::read("Tx_Com,\"COM3\"xyz,c\r\n"), (Records{{"Tx_Com", "COM3"}}));
        QCOMPARE(settingscodec::read("a,b,c,d,e"), (Records{{"a", "b"}}));
    }
};

QTEST_GUILESS_MAIN(SettingsCodecTest)
#include "settings_codec_test.moc"
