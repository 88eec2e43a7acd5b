// The GPS port's network sources against real servers: a gpsd (run by
// gpsfake on a receiver capture), and qvx-nmea serving the same capture
// over TCP and sending it over UDP. Each must make the window show exactly
// the texts, sentence after sentence, that the capture replayed on a
// pseudo-terminal makes it show. Real clock, real timers, real sockets.
#include "E2eStack.h"

#include "platform/NetworkSource.h"
#include "platform/QtPortEnumerator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

namespace {

// Ten GGA sentences, seven lines apart, CR LF: at 9600 Bd (and at gpsfake's
// pace below) about 0.4 s apart, so the 10 Hz tick takes every one.
const QString kCapture = QStringLiteral("nl-delft-bluenext-bn9015");
const QString kBaud = QStringLiteral("9600");
const QString kCheckPorts = QStringLiteral("ポート･設定確認");
constexpr int kReplayMs = 40000;

QString capturePath() {
    return QDir(qEnvironmentVariable("QVX_SOURCE_DIR")).filePath(QStringLiteral("tests/data/nmea/") + kCapture + ".nmea");
}

QByteArray captureBytes() {
    QFile file(capturePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The capture's last $GPGGA sentence: once it is shown, a replay is through.
QString lastGga() {
    const QByteArray bytes = captureBytes();
    const qsizetype at = bytes.lastIndexOf("$GPGGA,");
    if (at < 0) return QStringLiteral("<no capture>");
    qsizetype end = at;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    return QString::fromLatin1(bytes.mid(at, end - at));
}

// Ports nobody uses right now (the system's choice, given back at once).
quint16 freeTcpPort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}
quint16 freeUdpPort() {
    QUdpSocket s;
    s.bind(QHostAddress::LocalHost, 0);
    return s.localPort();
}

// The texts the window shows for each sentence it takes, one row a
// sentence, in order: the sentence and every position box.
class ShownTexts : public QObject {
public:
    explicit ShownTexts(Form1& f) : f_(f) {
        connect(inside(f).ui.GPposition, &QLineEdit::textChanged, this, [this](const QString& sentence) {
            if (sentence.isEmpty()) return;   // GPS switched off
            // Read once the tick has set every box.
            QTimer::singleShot(0, this, [this] { rows << row(); });
        });
    }
    QString row() const {
        QStringList texts;
        for (QWidget* w : {static_cast<QWidget*>(inside(f_).ui.GPposition), static_cast<QWidget*>(inside(f_).ui.Npos),
                           static_cast<QWidget*>(inside(f_).ui.Epos), static_cast<QWidget*>(inside(f_).ui.NposGmap),
                           static_cast<QWidget*>(inside(f_).ui.EposGmap), static_cast<QWidget*>(inside(f_).ui.Nposition),
                           static_cast<QWidget*>(inside(f_).ui.Eposition), static_cast<QWidget*>(inside(f_).ui.Mpos),
                           static_cast<QWidget*>(inside(f_).ui.EiseiN)})
            texts << w->property("text").toString();
        return texts.join(u'|');
    }
    bool through() const { return !rows.isEmpty() && rows.last().startsWith(lastGga() + u'|'); }
    QStringList rows;

private:
    Form1& f_;
};

void switchOn(Form1& f, const QString& source, const QString& baud) {
    inside(f).ui.GPS_Baudrate->setCurrentText(baud);
    inside(f).ui.GPS_Port->setText(source);
    inside(f).ui.GPS_On->setChecked(true);
}

// gpsfake running gpsd on a free port, replaying the capture again and
// again, a sentence every 60 ms.
class GpsFake {
public:
    GpsFake() : port_(freeTcpPort()) {
        process_.setWorkingDirectory(dir_.path());
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral("gpsfake"), {QStringLiteral("-q"), QStringLiteral("-c"), QStringLiteral("0.06"),
                                                   QStringLiteral("-P"), QString::number(port_), capturePath()});
    }
    ~GpsFake() {
        process_.terminate();   // gpsfake ends its gpsd
        if (!process_.waitForFinished(10000)) process_.kill();
        process_.waitForFinished(5000);
    }
    bool answering() {
        return QTest::qWaitFor([this] {
            return process_.state() == QProcess::Running && netsource::gpsdAnswers(QStringLiteral("127.0.0.1"), port_, 300);
        }, 20000);
    }
    quint16 port() const { return port_; }
    QString output() { return QString::fromLocal8Bit(process_.readAll()); }

private:
    QTemporaryDir dir_;
    quint16 port_;
    QProcess process_;
};

} // namespace

class GpsSourcesE2eTest : public QObject {
    Q_OBJECT
    QStringList serial_;   // the rows of the capture replayed on a terminal

private slots:
    void initTestCase() {
        const QString missing = e2e::missingTool({QStringLiteral("qvx-nmea")});
        if (!missing.isEmpty()) QSKIP(qPrintable(missing));
        e2e::RealStack app;
        ShownTexts shown(*app.form);
        e2e::GpsFeeder feeder({QStringLiteral("--replay"), capturePath(), QStringLiteral("--baud"), kBaud});
        QVERIFY(feeder.path().startsWith(QStringLiteral("/dev/")));
        switchOn(*app.form, feeder.path(), kBaud);
        QTRY_VERIFY_WITH_TIMEOUT(shown.through(), kReplayMs);
        serial_ = shown.rows;
        // Every GGA of the capture, each shown once.
        QCOMPARE(serial_.size(), captureBytes().count("$GPGGA,"));
        QCOMPARE(serial_.removeDuplicates(), 0);
    }

    // The TCP server drops its client when the replay is over: the GPS
    // side switches off and says so, as for a pulled cable. The baud box
    // is not read for a network source.
    void tcpServerGivesTheSerialTexts() {
        e2e::RealStack app;
        Form1& f = *app.form;
        ShownTexts shown(f);
        e2e::GpsFeeder server({QStringLiteral("--replay"), capturePath(), QStringLiteral("--baud"), kBaud,
                               QStringLiteral("--tcp"), QStringLiteral("0")});
        QVERIFY2(server.path().startsWith(QStringLiteral("tcp://localhost:")), qPrintable(server.errors()));
        switchOn(f, server.path(), QStringLiteral("fast"));
        QCOMPARE(inside(f).ui.GPSMessage->text(), QString());
        QVERIFY(!inside(f).ui.GPS_Port->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.GPSMessage->text(), kCheckPorts, kReplayMs);
        QCOMPARE(shown.rows, serial_);
        QVERIFY(!inside(f).ui.GPS_On->isChecked());
        QVERIFY(inside(f).ui.GPS_Port->isEnabled());
        QCOMPARE(inside(f).ui.GPposition->text(), QString());
    }

    // Datagrams from qvx-nmea, one a sentence; a second listener on the
    // same port is refused as a busy serial port is.
    void udpDatagramsGiveTheSerialTexts() {
        e2e::RealStack app;
        Form1& f = *app.form;
        ShownTexts shown(f);
        const QString source = QStringLiteral("udp://:%1").arg(freeUdpPort());
        switchOn(f, source, kBaud);
        QCOMPARE(inside(f).ui.GPSMessage->text(), QString());
        QVERIFY(inside(f).MSComm2->isOpen());
        NetworkSourcePort second;
        QVERIFY(!second.open(source, 0));

        e2e::GpsFeeder sender({QStringLiteral("--replay"), capturePath(), QStringLiteral("--baud"), kBaud,
                               QStringLiteral("--udp"), QStringLiteral("127.0.0.1:") + source.section(u':', -1)});
        QCOMPARE(sender.path(), source);
        QTRY_VERIFY_WITH_TIMEOUT(shown.through(), kReplayMs);
        QTest::qWait(300);
        QCOMPARE(shown.rows, serial_);
        QVERIFY(inside(f).ui.GPS_On->isChecked());
        QCOMPARE(inside(f).ui.GPSMessage->text(), QString());
    }

    // gpsd in its NMEA mode: its JSON reports never reach the window, the
    // receiver's sentences do, exactly. gpsfake replays the capture in a
    // loop from before the window connects, so the rows start anywhere in
    // it and wrap round: each must be followed by the serial replay's next.
    // The port list offers the gpsd while it answers, and not otherwise.
    void gpsdGivesTheSerialTexts() {
        if (QStandardPaths::findExecutable(QStringLiteral("gpsfake")).isEmpty())
            QSKIP("gpsfake is not installed (Debian: gpsd gpsd-clients)");
        GpsFake gpsd;
        QVERIFY2(gpsd.answering(), qPrintable(gpsd.output()));

        e2e::RealStack app;
        Form1& f = *app.form;
        ShownTexts shown(f);
        bool sawJson = false;   // in the received-text box, at any moment
        connect(inside(f).ui.GPSdataDisp, &QPlainTextEdit::textChanged, this,
                [&] { sawJson = sawJson || inside(f).ui.GPSdataDisp->toPlainText().contains(QStringLiteral("\"class\"")); });
        switchOn(f, QStringLiteral("gpsd://127.0.0.1:%1").arg(gpsd.port()), kBaud);
        QCOMPARE(inside(f).ui.GPSMessage->text(), QString());
        QTRY_VERIFY_WITH_TIMEOUT(shown.rows.size() > serial_.size() + 1, 2 * kReplayMs);
        for (qsizetype i = 0; i + 1 < shown.rows.size(); ++i) {
            const qsizetype at = serial_.indexOf(shown.rows[i]);
            QVERIFY2(at >= 0, qPrintable(shown.rows[i]));
            QCOMPARE(shown.rows[i + 1], serial_[(at + 1) % serial_.size()]);
        }
        QVERIFY(!inside(f).ui.GPSdataDisp->toPlainText().isEmpty());
        QVERIFY(!sawJson);
        QCOMPARE(inside(f).ui.GPSMessage->text(), QString());

        QtPortEnumerator withGpsd(QStringLiteral("127.0.0.1"), gpsd.port());
        QCOMPARE(withGpsd.gpsSources(), QStringList{QStringLiteral("gpsd (gpsd://127.0.0.1:%1) , 127.0.0.1:%1").arg(gpsd.port())});
    }

    // Sources that do not answer: the same message as a port that does not
    // open, once the attempt has failed, and the GPS side unlocked.
    void sourcesThatDoNotAnswerShowTheMessage() {
        QTcpServer silent;   // takes connections and never says a word
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        const quint16 closed = freeTcpPort();
        const QStringList sources = {QStringLiteral("gpsd://127.0.0.1:%1").arg(closed),
                                     QStringLiteral("tcp://127.0.0.1:%1").arg(closed),
                                     QStringLiteral("gpsd://127.0.0.1:%1").arg(silent.serverPort())};
        for (const QString& source : sources) {
            e2e::RealStack app;
            Form1& f = *app.form;
            switchOn(f, source, kBaud);
            QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.GPSMessage->text(), kCheckPorts, NetworkSourcePort::kAnswerTimeoutMs + 3000);
            QVERIFY2(!inside(f).ui.GPS_On->isChecked(), qPrintable(source));
            QVERIFY(inside(f).ui.GPS_Port->isEnabled());
            QVERIFY(!inside(f).MSComm2->isOpen());
        }
        // A malformed name fails at once, as an unknown port does.
        e2e::RealStack app;
        switchOn(*app.form, QStringLiteral("tcp://phone"), kBaud);
        QCOMPARE(inside(*app.form).ui.GPSMessage->text(), kCheckPorts);
        QVERIFY(!inside(*app.form).ui.GPS_On->isChecked());

        // The port list's check is quick whatever it meets.
        for (const quint16 port : {closed, silent.serverPort()}) {
            QElapsedTimer clock;
            clock.start();
            QVERIFY(QtPortEnumerator(QStringLiteral("127.0.0.1"), port).gpsSources().isEmpty());
            QVERIFY(clock.elapsed() < QtPortEnumerator::kGpsdCheckMs + 200);
        }
    }
};

QTEST_MAIN(GpsSourcesE2eTest)
#include "gps_sources_e2e_test.moc"
