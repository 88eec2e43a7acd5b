// The real receiver captures of tests/data/nmea replayed through the GPS
// port and the GPS timer, under each of the four redisplay conditions: the
// sequence of position texts the window shows must stay exactly what it was
// before GGA sentences of other talkers were taken (gga_capture_texts.tsv
// holds the count and a SHA-1 of each sequence). A capture rewritten to
// the $GN talker must show the same texts, sentence for sentence, as the
// $GP original: a receiver of several satellite systems gets positions.
//
// QVX_WRITE_TEXTS=<file> writes the table instead of checking it, and
// QVX_DUMP_TEXTS=<dir> dumps every sequence for a diff.
#include "WindowHarness.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QStringList kConditions = {QStringLiteral("$GPGGA"), QStringLiteral("$GPGSA"), QStringLiteral("$GPGSV"),
                                 QStringLiteral("$GPRMC")};
// Bytes per 100 ms tick: about what a 9600 baud receiver delivers.
constexpr int kChunk = 120;

QString sourceDir() {
    const QString root = qEnvironmentVariable("QVX_SOURCE_DIR");
    return root.isEmpty() ? QStringLiteral(QVX_TEST_SOURCE_DIR) : root;
}
QString dataDir() { return QDir(sourceDir()).filePath(QStringLiteral("tests/data/nmea")); }
QString tablePath() { return QDir(sourceDir()).filePath(QStringLiteral("tests/window/gga_capture_texts.tsv")); }

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every "$GP" becomes "$GN", its sentence's checksum corrected by the XOR
// of the two letters (a good checksum stays good, a bad one bad).
QByteArray toGnTalker(QByteArray bytes) {
    const auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
    for (qsizetype at = bytes.indexOf("$GP"); at >= 0; at = bytes.indexOf("$GP", at + 1)) {
        bytes[at + 2] = 'N';
        qsizetype star = at + 1;
        while (star < bytes.size() && bytes[star] != '*' && bytes[star] != '\r' && bytes[star] != '\n' && bytes[star] != '$')
            ++star;
        if (star + 2 < bytes.size() && bytes[star] == '*' && hex(bytes[star + 1]) && hex(bytes[star + 2])) {
            const int sum = QByteArray(bytes.constData() + star + 1, 2).toInt(nullptr, 16) ^ ('P' ^ 'N');
            const QByteArray text = QByteArray::number(sum, 16).toUpper().rightJustified(2, '0');
            bytes[star + 1] = text[0];
            bytes[star + 2] = text[1];
        }
    }
    return bytes;
}

// The sentence shown, without its talker and checksums (a garbled line may
// hold several): what a $GN copy of
// a $GP sentence has in common with it.
QString withoutTalker(QString sentence) {
    static const QRegularExpression checksum(QStringLiteral("\\*[0-9A-F]{2}"));
    return sentence.mid(3).remove(checksum);
}

} // namespace

class GgaCaptureTextsTest : public QObject {
    Q_OBJECT

    // The position texts after each tick, one line each time they change.
    static QStringList replay(const QByteArray& capture, const QString& condition, bool dropTalker) {
        WindowHarness h;
        FakeDevice* dev = h.ports.addDevice(QStringLiteral("COM5"));
        Form1& f = h.start();
        inside(f).ui.GPSdata_clr->setCurrentText(condition);
        inside(f).ui.GPS_Port->setText(QStringLiteral("COM5"));
        inside(f).ui.GPS_On->setChecked(true);
        QStringList seq;
        for (qsizetype at = 0; at < capture.size() + kChunk; at += kChunk) {
            if (at < capture.size()) dev->send(capture.mid(at, kChunk));
            h.advance(100);
            const QString shown = dropTalker ? withoutTalker(inside(f).ui.GPposition->text()) : inside(f).ui.GPposition->text();
            const QString line = QStringList{shown, inside(f).ui.Npos->text(), inside(f).ui.Epos->text(), inside(f).ui.Mpos->text(),
                                             inside(f).ui.EiseiN->text(), inside(f).ui.NposGmap->text(), inside(f).ui.EposGmap->text(),
                                             inside(f).ui.Nposition->text(), inside(f).ui.Eposition->text()}
                                     .join(QLatin1Char('\t'));
            if (seq.isEmpty() || seq.last() != line) seq << line;
        }
        return seq;
    }
    static QString digest(const QStringList& seq) {
        return QString::fromLatin1(
            QCryptographicHash::hash(seq.join(QLatin1Char('\n')).toUtf8(), QCryptographicHash::Sha1).toHex());
    }
    static void dump(const QString& name, const QStringList& seq) {
        const QString dir = qEnvironmentVariable("QVX_DUMP_TEXTS");
        if (dir.isEmpty()) return;
        QFile out(QDir(dir).filePath(name));
        if (out.open(QIODevice::WriteOnly)) out.write(seq.join(QLatin1Char('\n')).toUtf8());
    }
    static QStringList captures() {
        QStringList names;
        for (const QString& file : QDir(dataDir()).entryList({QStringLiteral("*.nmea")}, QDir::Files, QDir::Name))
            names << file.chopped(5);
        return names;
    }

private slots:
    void sameTextsAsBefore() {
        const QString writeTo = qEnvironmentVariable("QVX_WRITE_TEXTS");
        QMap<QString, QString> table;
        for (const QByteArray& line : readAll(tablePath()).split('\n')) {
            const QList<QByteArray> cols = line.split('\t');
            if (cols.size() == 4) table.insert(QString::fromUtf8(cols[0] + '\t' + cols[1]), QString::fromUtf8(cols[2] + '\t' + cols[3]));
        }
        const QStringList names = captures();
        QCOMPARE(names.size(), 20);
        QStringList written, differing;
        for (const QString& name : names) {
            const QByteArray capture = readAll(QDir(dataDir()).filePath(name + QStringLiteral(".nmea")));
            for (const QString& condition : kConditions) {
                const QStringList seq = replay(capture, condition, false);
                const QString key = name + QLatin1Char('\t') + condition;
                const QString got = QString::number(seq.size()) + QLatin1Char('\t') + digest(seq);
                dump(name + condition, seq);
                written << key + QLatin1Char('\t') + got;
                if (table.value(key) != got) differing << key;
            }
        }
        if (!writeTo.isEmpty()) {
            QFile out(writeTo);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write((written.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
            return;
        }
        QVERIFY2(differing.isEmpty(), qPrintable(differing.join(QStringLiteral(", "))));
    }

    // Every capture whose GGA sentences all carry the $GP talker, rewritten
    // to $GN throughout: the same positions, satellites and texts.
    void gnTalkerShowsWhatGpShows() {
        int compared = 0;
        for (const QString& name : captures()) {
            const QByteArray capture = readAll(QDir(dataDir()).filePath(name + QStringLiteral(".nmea")));
            // Only captures whose every sentence carries the $GP talker.
            static const QRegularExpression otherTalker(QStringLiteral("\\$(GN|GL|GA|GB|BD|GQ)[A-Z]{3},"));
            if (QString::fromLatin1(capture).contains(otherTalker)) continue;
            const QByteArray gn = toGnTalker(capture);
            QVERIFY(!gn.contains("$GPGGA,"));
            for (const QString& condition : {QStringLiteral("$GPGGA"), QStringLiteral("$GPRMC")}) {
                const QStringList want = replay(capture, condition, true);
                const QStringList got = replay(gn, condition, true);
                dump(name + condition + QStringLiteral(".gn"), got);
                dump(name + condition + QStringLiteral(".gp"), want);
                QVERIFY2(got == want, qPrintable(name + QLatin1Char(' ') + condition));
            }
            ++compared;
        }
        QCOMPARE(compared, 14);
    }
};

QTEST_MAIN(GgaCaptureTextsTest)
#include "gga_capture_texts_test.moc"
