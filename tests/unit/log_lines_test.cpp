// The log lines, byte for byte: a whole answered and a whole lost exchange
// as the communication log and the map logs hold them.
#include "results/LogLines.h"

#include <QTest>

class LogLinesTest : public QObject {
    Q_OBJECT
private slots:
    void runHeaderLines() {
        const QDateTime at(QDate(2017, 9, 21), QTime(13, 5, 9));
        QCOMPARE(loglines::runStart(at) + loglines::columnHeads(),
                 QStringLiteral("\r\n-------< Start:2017/09/21 13:05:09 > -------\r\n試験時間,試験コマンド,応答データ,"
                                "応答時間[ms],受信RSSI値,応答RSSI値,フロアノイズ,以降はGPSデータ"));
    }

    void answeredAndLostExchanges() {
        const QDateTime at(QDate(2017, 9, 21), QTime(13, 5, 9, 999));
        const QString gga = QStringLiteral("$GPGGA,040509.00,3540.7200,N,13946.0800,E,1,08,1.0,12.5,M,,,,*5A");
        const QString answered = loglines::sendHalf(at, {QStringLiteral("@RA"), QStringLiteral("@DT05001XX")})
            + loglines::answerHalf({QStringLiteral("*DR=05001\x01\x4E\r\n*RS=-078dBm\r\n"), QStringLiteral(" 62"),
                                    QStringLiteral("-78"), QStringLiteral("-78"), QStringLiteral("-110"), gga});
        QCOMPARE(answered, QStringLiteral("\r\n13:05:09,@RA[Cr][Lf]@DT05001XX[Cr][Lf],*DR=05001\x01\x4E\r\n"
                                          "*RS=-078dBm\r\n, 62,-78,-78,-110,")
                               + gga);

        // A lost packet without "@RA" (older firmware): empty time and RSSI.
        const QString lost = loglines::sendHalf(at, {QStringLiteral("@DT05002XX")})
            + loglines::answerHalf({QString(), QString(), QString(), QString(), QStringLiteral("-110"), QString()});
        QCOMPARE(lost, QStringLiteral("\r\n13:05:09,@DT05002XX[Cr][Lf],,,,,-110,"));

        QCOMPARE(loglines::mapLine({QStringLiteral("35.67866"), QStringLiteral("139.768"), QStringLiteral("12.5"),
                                    QStringLiteral("-78"), QStringLiteral("-80"), QStringLiteral("-110")}),
                 QStringLiteral("35.67866,139.768,12.5,-78,-80,-110\r\n"));
        QCOMPARE(loglines::mapLine({QStringLiteral("35.1"), QStringLiteral("139.2"), QStringLiteral("12.5"), {}, {},
                                    QStringLiteral("-110")}),
                 QStringLiteral("35.1,139.2,12.5,,,-110\r\n"));
    }

    // Each line read back gives what it was built from: the reader of old
    // logs uses these.
    void linesReadBack() {
        const QDateTime at(QDate(2017, 9, 21), QTime(13, 5, 9));
        const QString start = loglines::runStart(at), heads = loglines::columnHeads();
        QCOMPARE(loglines::parseRunStart(start.mid(2)), std::optional<QDateTime>(at));
        QVERIFY(loglines::isColumnHeads(heads.mid(2)));
        const loglines::AnswerFields a{QStringLiteral("*DR=05001,\x01[Cr][Lf]*RS=-78dBm"), QStringLiteral(" 62"),
                                       QStringLiteral("-78"), QStringLiteral("-80"), QStringLiteral("-110"),
                                       QStringLiteral("$GPGGA,040509.00,3540.7200,N,13946.0800,E,1,08,1.0,12.5,M,,,,*5A")};
        for (const loglines::AnswerFields& fields : {a, loglines::AnswerFields{{}, {}, {}, {}, QStringLiteral("-110"), {}}}) {
            const QString line = loglines::sendHalf(at, {QStringLiteral("@RA"), QStringLiteral("@DT05001XX")}) + loglines::answerHalf(fields);
            const auto p = loglines::parsePacketLine(line.mid(2));
            QVERIFY(p && p->evaluated);
            QCOMPARE(p->time, QStringLiteral("13:05:09"));
            QCOMPARE(loglines::payloadOf(p->commands), QStringLiteral("001"));
            const loglines::AnswerFields& b = p->answer;
            QCOMPARE(QStringList({b.received, b.responseTime, b.farRssi, b.ackRssi, b.noise, b.gga}),
                     QStringList({fields.received, fields.responseTime, fields.farRssi, fields.ackRssi, fields.noise, fields.gga}));
        }
        const auto half = loglines::parsePacketLine(loglines::sendHalf(at, {QStringLiteral("@DT05002XX")}).mid(2));
        QVERIFY(half && !half->evaluated);
        QString why;
        QVERIFY(!loglines::parsePacketLine(QStringLiteral("13:05:09,@DT05002XX[Cr][Lf],*DR=05002"), &why));
        QCOMPARE(why, QStringLiteral("packet line cut short"));
        const loglines::MapFields m{QStringLiteral(" 35.1"), QStringLiteral(" 139.2"), QStringLiteral(" 12.5"), {}, {},
                                    QStringLiteral("-110")};
        const auto back = loglines::parseMapLine(loglines::mapLine(m).chopped(2));
        QVERIFY(back);
        QCOMPARE(QStringList({back->lat, back->lon, back->alt, back->farRssi, back->ackRssi, back->noise}),
                 QStringList({m.lat, m.lon, m.alt, m.farRssi, m.ackRssi, m.noise}));
        QVERIFY(loglines::isMapHeader(QStringLiteral("N: ,E: ,M: ,RX-RSSI ,Ack-RSSI ,Floor Noise")));
    }
};

QTEST_APPLESS_MAIN(LogLinesTest)
#include "log_lines_test.moc"
