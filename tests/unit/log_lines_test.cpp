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
};

QTEST_APPLESS_MAIN(LogLinesTest)
#include "log_lines_test.moc"
