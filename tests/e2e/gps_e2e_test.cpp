// A real receiver capture replayed by qvx-nmea on a pseudo-terminal into the
// window's GPS port: real clock, real timers, QSerialPort.
#include "E2eStack.h"

#include <QDir>
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
            f.ui.GPS_Baudrate->setCurrentText(QStringLiteral("38400"));
            f.ui.GPS_Port->setText(pty);
            f.ui.GPS_On->setChecked(true);
            QCOMPARE(f.ui.GPSMessage->text(), QString());
            QVERIFY(!f.ui.GPS_Port->isEnabled());
            // The capture's sentences follow one another; the texts show the
            // last one taken, each row of the expected values in turn.
            QTRY_VERIFY_WITH_TIMEOUT(f.ui.GPposition->text().startsWith(QStringLiteral("$GPGGA,")), 10000);
            QTRY_COMPARE_WITH_TIMEOUT(f.ui.NposGmap->text().left(6), QStringLiteral(" 35.33"), 10000);
            QCOMPARE(f.ui.EposGmap->text().left(7), QStringLiteral(" 136.67"));
            QVERIFY(f.ui.Nposition->text().startsWith(QStringLiteral(" 35度 19分")));
            QCOMPARE(f.ui.Mpos->text().left(3), QStringLiteral(" 80"));
            QCOMPARE(f.ui.EiseiN->text().size(), 2);
            f.ui.GPS_On->setChecked(false);
            QCOMPARE(f.ui.NposGmap->text(), QString());
            QVERIFY(f.ui.Nposition->text().startsWith(QStringLiteral(" 35度")));
        }
        proc.terminate();
        QVERIFY(proc.waitForFinished(5000));
    }
};

QTEST_MAIN(GpsE2eTest)
#include "gps_e2e_test.moc"
