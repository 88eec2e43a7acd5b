// Every $GPGGA sentence of the real receiver captures in tests/data/nmea:
// the sentences with a northern, eastern position and an altitude unit are
// exactly the rows of <capture>.expected.tsv, with the same raw fields and
// decimal degrees.
#include "common/NumberText.h"
#include "common/TextFile.h"
#include "gps/Gga.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cstdio>

namespace {

QString dataDir() {
    const QString root = qEnvironmentVariable("QVX_SOURCE_DIR");
    return QDir(root.isEmpty() ? QStringLiteral(QVX_TEST_SOURCE_DIR) : root).filePath(QStringLiteral("tests/data/nmea"));
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

// The decimal text as the expected values print it (%.15g).
QString g15(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return QString::fromLatin1(buf);
}

} // namespace

class GgaCapturesTest : public QObject {
    Q_OBJECT
private slots:
    void capture_data() {
        QTest::addColumn<QString>("name");
        const QStringList files = QDir(dataDir()).entryList({QStringLiteral("*.nmea")}, QDir::Files, QDir::Name);
        QVERIFY2(files.size() == 20, qPrintable(dataDir()));
        for (const QString& file : files) {
            const QString name = file.chopped(5);
            QTest::newRow(qPrintable(name)) << name;
        }
    }
    void capture() {
        QFETCH(QString, name);
        const QDir dir(dataDir());
        // As the GPS port renders received bytes.
        QByteArray pending;
        const QString stream = textfile::decodeReceived(&pending, readAll(dir.filePath(name + ".nmea")));
        QVERIFY(!stream.isEmpty());
        QStringList expected;
        for (const QByteArray& line : readAll(dir.filePath(name + ".expected.tsv")).split('\n'))
            if (!line.isEmpty()) expected << QString::fromLatin1(line);

        QStringList got;
        int index = 0;
        for (qsizetype at = stream.indexOf(QLatin1String("$GPGGA,")); at >= 0;
             at = stream.indexOf(QLatin1String("$GPGGA,"), at + 1)) {
            ++index;
            // A sentence runs to the first CR, LF or "$" after its start.
            qsizetype end = at + 1;
            while (end < stream.size() && stream.at(end) != u'\r' && stream.at(end) != u'\n' && stream.at(end) != u'$') ++end;
            const gga::Fields f = gga::extract(stream.mid(at, end - at));
            if (!f.positioned) continue;
            const double lat = gga::decimalDegrees(numtext::leadingNumber(f.latitude));
            const double lon = gga::decimalDegrees(numtext::leadingNumber(f.longitude));
            got << QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7")
                       .arg(index).arg(f.latitude, f.longitude, f.satellites, f.altitude, g15(lat), g15(lon));
        }
        QVERIFY(index > 0);
        for (int i = 0; i < qMin(got.size(), expected.size()); ++i)
            QCOMPARE(got.at(i), expected.at(i));
        QCOMPARE(got.size(), expected.size());
    }
};

QTEST_APPLESS_MAIN(GgaCapturesTest)
#include "gga_captures_test.moc"
