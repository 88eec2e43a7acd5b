// Names of network GPS sources and the reduction of gpsd's output to the
// receiver's sentences.
#include "platform/NetworkSource.h"

#include <QtTest>

using netsource::Kind;

class GpsSourceNamesTest : public QObject {
    Q_OBJECT
private slots:
    void names_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        const int gpsd = int(Kind::Gpsd), tcp = int(Kind::Tcp), udp = int(Kind::Udp);
        QTest::newRow("gpsd defaults") << "gpsd://" << true << gpsd << "localhost" << 2947;
        QTest::newRow("gpsd host") << "gpsd://pi.local" << true << gpsd << "pi.local" << 2947;
        QTest::newRow("gpsd port only") << "gpsd://:3000" << true << gpsd << "localhost" << 3000;
        QTest::newRow("gpsd both, slash, case") << " GPSD://10.0.0.2:2948/ " << true << gpsd << "10.0.0.2" << 2948;
        QTest::newRow("gpsd ipv6") << "gpsd://[::1]:2947" << true << gpsd << "::1" << 2947;
        QTest::newRow("tcp") << "tcp://192.168.1.20:10110" << true << tcp << "192.168.1.20" << 10110;
        QTest::newRow("tcp without port") << "tcp://phone" << false << tcp << "" << 0;
        QTest::newRow("tcp without host") << "tcp://:10110" << false << tcp << "" << 0;
        QTest::newRow("udp any address") << "udp://:10110" << true << udp << "" << 10110;
        QTest::newRow("udp on an address") << "udp://127.0.0.1:5000" << true << udp << "127.0.0.1" << 5000;
        QTest::newRow("udp without port") << "udp://" << false << udp << "" << 0;
        QTest::newRow("port zero") << "tcp://h:0" << false << tcp << "" << 0;
        QTest::newRow("port too big") << "tcp://h:65536" << false << tcp << "" << 0;
        QTest::newRow("port not a number") << "tcp://h:80x" << false << tcp << "" << 0;
        QTest::newRow("stray colon") << "tcp://a:b:1" << false << tcp << "" << 0;
        QTest::newRow("a path") << "tcp://h:1/x" << false << tcp << "" << 0;
    }
    void names() {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QVERIFY(netsource::isSourceName(name));
        const auto a = netsource::parse(name);
        QCOMPARE(a.has_value(), valid);
        if (!valid) return;
        QFETCH(int, kind);
        QFETCH(QString, host);
        QFETCH(int, port);
        QCOMPARE(int(a->kind), kind);
        QCOMPARE(a->host, host);
        QCOMPARE(int(a->port), port);
    }

    // Serial ports' names (also ones with colons or slashes) stay serial.
    void serialNamesAreNoSources() {
        for (const char* n : {"COM3", "/dev/ttyUSB0", "ttyACM0", "/dev/serial/by-id/usb-u-blox_GNSS:1.0-if00", "", "gpsd"})
            QVERIFY2(!netsource::isSourceName(QString::fromLatin1(n)), n);
    }

    // gpsd's JSON reports are dropped whole, however the bytes are cut;
    // every other byte (sentences, their CR LF or LF, a "{" inside a line)
    // passes unchanged.
    void gpsdFilterKeepsExactlyTheSentences() {
        const QByteArray stream =
            "{\"class\":\"VERSION\",\"release\":\"3.22\",\"proto_major\":3}\r\n"
            "{\"class\":\"DEVICES\",\"devices\":[{\"class\":\"DEVICE\",\"path\":\"/dev/pts/1\"}]}\r\n"
            "$GPGGA,045851.000,3519.9046,N,13640.2631,E,1,04,2.2,80.4,M,,,,0000*39\n"
            "{\"class\":\"WATCH\",\"enable\":true}\r\n"
            "$GPRMC,045851.000,A,3519.9046,N,13640.2631,E,0.10,92.17,270705,,*3A\r\n"
            "!AIVDM,1,1,,A,13u?etPv2;0n:dDPwUM1U1Cb069D,0*24\r\n"
            "$GPTXT,{odd}*00\r\n";
        const QByteArray sentences =
            "$GPGGA,045851.000,3519.9046,N,13640.2631,E,1,04,2.2,80.4,M,,,,0000*39\n"
            "$GPRMC,045851.000,A,3519.9046,N,13640.2631,E,0.10,92.17,270705,,*3A\r\n"
            "!AIVDM,1,1,,A,13u?etPv2;0n:dDPwUM1U1Cb069D,0*24\r\n"
            "$GPTXT,{odd}*00\r\n";
        for (int piece : {1, 2, 7, 64, int(stream.size())}) {
            netsource::GpsdFilter filter;
            QByteArray out;
            for (qsizetype i = 0; i < stream.size(); i += piece) {
                out += filter.take(stream.mid(i, piece));
                // A sentence's bytes are passed on as they come, not held
                // back until its line ends.
                if (stream.mid(0, i + piece).endsWith("$GPGG")) QVERIFY(out.endsWith("$GPGG"));
            }
            QCOMPARE(out, sentences);
            QVERIFY(filter.greeted());
        }
        netsource::GpsdFilter other;
        other.take("{\"class\":\"ERROR\",\"message\":\"x\"}\r\n$GPGGA\r\n");
        QVERIFY(!other.greeted());
    }
};

QTEST_GUILESS_MAIN(GpsSourceNamesTest)
#include "gps_source_names_test.moc"
