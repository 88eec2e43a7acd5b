// A real receiver capture replayed by qvx-nmea on a pseudo-terminal into the
// window's GPS port: real clock, real timers, QSerialPort.
#include "E2eStack.h"

#include <QDir>
#include <QElapsedTimer>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class GpsE2eTest : public QObject {
    Q_OBJECT
    QString feeder() const { return qEnvironmentVariable("QVX_BIN_DIR") + QStringLiteral("/qvx-nmea"); }
    QString capture(const QString& name) const {
        return QDir(qEnvironmentVariable("QVX_SOURCE_DIR")).filePath(QStringLiteral("tests/data/nmea/") + name + ".nmea");
    }

private slots:
    void initTestCase() {
        if (!QFileInfo::exists(feeder())) QSKIP("qvx-nmea not built");
    }

    void walkWithTruthAndStall();

    void captureReplayShowsThePosition() {
        QProcess proc;
        proc.start(feeder(), {QStringLiteral("--replay"), capture(QStringLiteral("jp-gifu-itrek-m3")),
                              QStringLiteral("--baud"), QStringLiteral("38400")});
        QVERIFY(proc.waitForStarted(5000));
        QVERIFY(proc.waitForReadyRead(5000));
        const QString pty = QString::fromLocal8Bit(proc.readLine()).trimmed();
        QVERIFY(pty.startsWith(QStringLiteral("/dev/")));

        {
            e2e::RealStack app;
            Form1& f = *app.form;
            inside(f).ui.GPS_Baudrate->setCurrentText(QStringLiteral("38400"));
            inside(f).ui.GPS_Port->setText(pty);
            inside(f).ui.GPS_On->setChecked(true);
            QCOMPARE(inside(f).ui.GPSMessage->text(), QString());
            QVERIFY(!inside(f).ui.GPS_Port->isEnabled());
            // The capture's sentences follow one another; the texts show the
            // last one taken, each row of the expected values in turn.
            QTRY_VERIFY_WITH_TIMEOUT(inside(f).ui.GPposition->text().startsWith(QStringLiteral("$GPGGA,")), 10000);
            QTRY_COMPARE_WITH_TIMEOUT(inside(f).ui.NposGmap->text().left(6), QStringLiteral(" 35.33"), 10000);
            QCOMPARE(inside(f).ui.EposGmap->text().left(7), QStringLiteral(" 136.67"));
            QVERIFY(inside(f).ui.Nposition->text().startsWith(QStringLiteral(" 35度 19分")));
            QCOMPARE(inside(f).ui.Mpos->text().left(3), QStringLiteral(" 80"));
            QCOMPARE(inside(f).ui.EiseiN->text().size(), 2);
            inside(f).ui.GPS_On->setChecked(false);
            QCOMPARE(inside(f).ui.NposGmap->text(), QString());
            QVERIFY(inside(f).ui.Nposition->text().startsWith(QStringLiteral(" 35度")));
        }
        proc.terminate();
        QVERIFY(proc.waitForFinished(5000));
    }
};

void GpsE2eTest::walkWithTruthAndStall() {
    // A walk east at 12 m/s that stalls at second 1 for 2 s: the truth
    // trace goes on a line a second, the terminal carries only the seconds
    // sent, each on its second.
    QTemporaryDir dir;
    const QString truth = dir.filePath(QStringLiteral("truth.csv"));
    QProcess proc;
    proc.start(feeder(), {QStringLiteral("--lat"), QStringLiteral("35"), QStringLiteral("--lon"), QStringLiteral("137"),
                          QStringLiteral("--speed"), QStringLiteral("12"), QStringLiteral("--heading"), QStringLiteral("90"),
                          QStringLiteral("--baud"), QStringLiteral("9600"), QStringLiteral("--truth"), truth,
                          QStringLiteral("--stall"), QStringLiteral("1,2")});
    QVERIFY(proc.waitForStarted(5000));
    QVERIFY(proc.waitForReadyRead(5000));
    const QByteArray ptyPath = proc.readLine().trimmed();
    const int fd = ::open(ptyPath.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    QByteArray got;
    QElapsedTimer t;
    t.start();
    QList<qint64> arrivals;  // ms after the first sentence
    while (t.elapsed() < 3600) {  // seconds 0 to 3
        QTest::qWait(20);
        char buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        const QByteArray bytes(buf, n > 0 ? int(n) : 0);
        if (bytes.contains("$GPGGA"))
            arrivals << t.elapsed();
        got += bytes;
    }
    ::close(fd);
    proc.terminate();
    QVERIFY(proc.waitForFinished(5000));
    QCOMPARE(got.count("$GPGGA"), 2);   // seconds 0 and 3
    QCOMPARE(got.count("$GPRMC"), 2);
    QCOMPARE(arrivals.size(), 2);
    QVERIFY2(std::abs(arrivals[1] - arrivals[0] - 3000) < 150, qPrintable(QString::number(arrivals[1] - arrivals[0])));
    QFile f(truth);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
    QVERIFY2(lines.size() >= 5, qPrintable(QString::number(lines.size())));
    QCOMPARE(lines[0], QByteArray("mono_us,utc,lat,lon,sent"));
    QList<double> lons;
    for (int i = 1; i <= 4; ++i) {
        const QList<QByteArray> v = lines[i].split(',');
        QCOMPARE(v.size(), 5);
        QCOMPARE(v[4], QByteArray(i == 2 || i == 3 ? "0" : "1"));
        if (i > 1)
            QCOMPARE(v[0].toLongLong() - lines[i - 1].split(',')[0].toLongLong(), 1000000);
        QVERIFY(v[1].endsWith('Z'));
        lons << v[3].toDouble();
    }
    // 12 m a second due east at 35 degrees north.
    const double perDegree = 111320.0 * std::cos(35.0 * M_PI / 180.0);
    QVERIFY(std::abs((lons[3] - lons[0]) * perDegree - 36.0) < 0.01);
}

QTEST_MAIN(GpsE2eTest)
#include "gps_e2e_test.moc"
