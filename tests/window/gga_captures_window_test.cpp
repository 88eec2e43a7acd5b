// The window's own GPS tick over the 20 real receiver captures in
// tests/data/nmea, delivered byte by byte (every position a cut between two
// receive events, the tick run after each) and in bursts of many sentences.
// Every sentence the window takes is a GGA sentence of the capture up to
// its line end, byte for byte. For the captures whose GGA sentences are all
// $GPGGA, its position is the one expected.tsv gives (or, for a sentence
// without a position, the displays keep theirs) and every sentence that
// starts a line is taken when it arrives byte by byte; a capture that mixes
// talkers is held to the first rule only (gga_capture_texts_test checks the
// texts it gives).
#include "WindowHarness.h"
#include "common/NumberText.h"
#include "common/TextFile.h"
#include "gps/Gga.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QtTest>

namespace {

QString dataDir() {
    const QString root = qEnvironmentVariable("QVX_SOURCE_DIR");
    return QDir(root.isEmpty() ? QStringLiteral(QVX_TEST_SOURCE_DIR) : root).filePath(QStringLiteral("tests/data/nmea"));
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One GGA sentence in the capture: where it starts, where its line (CR or
// LF) ends (-1: never), whether an LF comes right before it, its number among
// the $GPGGA sentences (0 for another talker's).
struct Gga {
    qsizetype at = 0;
    qsizetype end = -1;
    bool startsLine = false;
    int index = 0;
};

struct Displays {
    QString npos, epos, mpos, satellites, lat, lon;
    bool operator==(const Displays& o) const {
        return npos == o.npos && epos == o.epos && mpos == o.mpos && satellites == o.satellites && lat == o.lat
            && lon == o.lon;
    }
};

class Walk {
public:
    Walk(const QByteArray& bytes, const QHash<int, QStringList>& expected) : bytes_(bytes), expected_(expected) {
        int index = 0;
        for (qsizetype at = bytes.indexOf("GGA,"); at >= 0; at = bytes.indexOf("GGA,", at + 1)) {
            if (at < 3 || bytes.at(at - 3) != '$') continue;
            const QByteArray talker = bytes.mid(at - 2, 2);
            if (std::none_of(std::begin(gga::kTalkers), std::end(gga::kTalkers),
                             [&](const char* t) { return talker == t; }))
                continue;
            mixed_ = mixed_ || talker != "GP";
            Gga g;
            g.at = at - 3;
            g.index = talker == "GP" ? ++index : 0;
            g.startsLine = g.at > 0 && bytes.at(g.at - 1) == '\n';
            for (qsizetype i = at; i < bytes.size(); ++i)
                if (bytes.at(i) == '\r' || bytes.at(i) == '\n') { g.end = i; break; }
            all_ << g;
        }
        dev_ = h_.ports.addDevice(QStringLiteral("COM5"));
        h_.start();
        inside(f()).ui.GPS_Port->setText(QStringLiteral("COM5"));
        inside(f()).ui.GPS_On->setChecked(true);
    }
    Form1& f() { return h_.form(); }
    const QList<Gga>& all() const { return all_; }
    bool mixed() const { return mixed_; }
    QList<int> taken;   // numbers of the sentences taken, in order
    int spliced = 0;    // taken sentences that run on into another one

    void send(const QByteArray& piece) {
        dev_->send(piece);
        fed_ += piece.size();
    }

    // One GPS tick; a sentence taken is checked against the capture. False
    // when nothing was taken.
    bool tick() {
        const Displays before = displays();
        const QString bufferBefore = inside(f()).st.GpsBuffer;   // shown whole by the tick, before it cuts
        inside(f()).ui.GPposition->clear();   // written by the tick alone: shows what it took
        h_.advance(100);
        const QString sentence = inside(f()).ui.GPposition->text();
        if (sentence.isEmpty())
            return false;
        const QByteArray raw = textfile::encode(sentence);
        // Which sentence: the first "$GPGGA," of the buffer, found in the
        // capture from where the buffer starts (the buffer holds the last
        // bytes fed, but for a character's first byte still held back).
        const QString& buffer = inside(f()).st.GpsBuffer;
        const QByteArray held = textfile::encode(buffer);
        qsizetype start = fed_ - held.size();
        if (bytes_.mid(start, held.size()) != held) --start;
        const qsizetype at = start + textfile::encode(buffer.left(firstGga(buffer))).size();
        const auto g = std::find_if(all_.cbegin(), all_.cend(), [at](const Gga& x) { return x.at == at; });
        if (bytes_.mid(start, held.size()) != held || g == all_.cend() || g->end != at + raw.size()
            || bytes_.mid(at, raw.size()) != raw) {
            QTest::qFail(qPrintable("taken text is no whole sentence of the capture: " + sentence), __FILE__, __LINE__);
            return false;
        }
        taken << int(g - all_.cbegin());
        // The box shows the buffer as if set whole, though it grew in pieces.
        QPlainTextEdit whole;
        whole.setPlainText(bufferBefore);
        if (inside(f()).ui.GPSdataDisp->toPlainText() != whole.toPlainText())
            QTest::qFail("GPSdataDisp does not show the buffer", __FILE__, __LINE__);
        const Displays now = displays();
        if (raw.indexOf('$', 1) >= 0) {
            ++spliced;   // the window's sentence runs to the line end, past another "$"
        } else if (mixed_) {
            // another talker's position: checked by the texts test
        } else if (expected_.contains(g->index)) {
            const QStringList& row = expected_[g->index];
            const Displays want{numtext::signBlank(numtext::leadingNumber(row[0])),
                                numtext::signBlank(numtext::leadingNumber(row[1])),
                                numtext::signBlank(numtext::leadingNumber(row[3])), row[2],
                                numtext::signBlank(row[4].toDouble()), numtext::signBlank(row[5].toDouble())};
            if (!(now == want))
                QTest::qFail(qPrintable(QStringLiteral("sentence %1 shown as %2 %3, expected %4 %5")
                                            .arg(g->index).arg(now.lat, now.lon, want.lat, want.lon)),
                             __FILE__, __LINE__);
        } else if (!(now == before)) {
            QTest::qFail(qPrintable(QStringLiteral("sentence %1 without a position changed the displays").arg(g->index)),
                         __FILE__, __LINE__);
        }
        return true;
    }

private:
    // Where the tick looks: the first "$GPGGA,", or without one the first
    // GGA sentence of any talker.
    static qsizetype firstGga(const QString& buffer) {
        const qsizetype gp = buffer.indexOf(QStringLiteral("$GPGGA,"));
        if (gp >= 0) return gp;
        qsizetype first = -1;
        for (const char* t : gga::kTalkers) {
            const qsizetype i = buffer.indexOf(QLatin1Char('$') + QLatin1String(t) + QStringLiteral("GGA,"));
            if (i >= 0 && (first < 0 || i < first)) first = i;
        }
        return first;
    }

    Displays displays() {
        return {inside(f()).ui.Npos->text(), inside(f()).ui.Epos->text(), inside(f()).ui.Mpos->text(), inside(f()).ui.EiseiN->text(),
                inside(f()).ui.NposGmap->text(), inside(f()).ui.EposGmap->text()};
    }

    QByteArray bytes_;
    QHash<int, QStringList> expected_;
    QList<Gga> all_;
    bool mixed_ = false;
    WindowHarness h_;
    FakeDevice* dev_ = nullptr;
    qsizetype fed_ = 0;
};

} // namespace

class GgaCapturesWindowTest : public QObject {
    Q_OBJECT

    QByteArray bytes;
    QHash<int, QStringList> expected;

    void load(const QString& name) {
        const QDir dir(dataDir());
        bytes = readAll(dir.filePath(name + ".nmea"));
        QVERIFY(!bytes.isEmpty());
        expected.clear();
        for (const QByteArray& line : readAll(dir.filePath(name + ".expected.tsv")).split('\n')) {
            if (line.isEmpty()) continue;
            QStringList cols = QString::fromLatin1(line).split(u'\t');
            QCOMPARE(cols.size(), 7);
            expected.insert(cols.takeFirst().toInt(), cols);
        }
    }

private slots:
    void byteByByte_data() { rows(); }
    void byteByByte() {
        QFETCH(QString, name);
        load(name);
        Walk walk(bytes, expected);
        QVERIFY(!walk.all().isEmpty());
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            walk.send(bytes.mid(i, 1));
            walk.tick();
            if (QTest::currentTestFailed()) return;
        }
        if (walk.mixed()) return;
        // Each sentence that starts a line is taken once its line end has
        // come; besides those, only the first after opening may be.
        QList<int> lineStarts;
        for (int i = 0; i < walk.all().size(); ++i)
            if (walk.all()[i].startsLine && walk.all()[i].end >= 0) lineStarts << i;
        QList<int> taken = walk.taken;
        if (!taken.isEmpty() && !lineStarts.contains(taken.first())) {
            QCOMPARE(taken.first(), 0);
            taken.removeFirst();
        }
        QCOMPARE(taken, lineStarts);
        qInfo("%s: %lld bytes, %lld sentences taken, %d run on into another",
              qPrintable(name), qlonglong(bytes.size()), qlonglong(walk.taken.size()), walk.spliced);
    }

    // Many sentences per receive event: the tick takes one per turn, in
    // order, up to the last sentence that starts a line.
    void bursts_data() { rows(); }
    void bursts() {
        QFETCH(QString, name);
        load(name);
        Walk walk(bytes, expected);
        constexpr qsizetype kPiece = 1500;
        for (qsizetype at = 0; at < bytes.size(); at += kPiece) {
            walk.send(bytes.mid(at, kPiece));
            while (walk.tick()) {}
            if (QTest::currentTestFailed()) return;
        }
        for (qsizetype i = 1; i < walk.taken.size(); ++i)
            QVERIFY(walk.taken[i] > walk.taken[i - 1]);
        if (walk.mixed()) return;
        int last = -1;
        for (int i = 0; i < walk.all().size(); ++i)
            if (walk.all()[i].startsLine && walk.all()[i].end >= 0) last = i;
        QCOMPARE(walk.taken.isEmpty() ? -1 : walk.taken.last(), last);
    }

private:
    void rows() {
        QTest::addColumn<QString>("name");
        const QStringList files = QDir(dataDir()).entryList({QStringLiteral("*.nmea")}, QDir::Files, QDir::Name);
        QVERIFY2(files.size() == 20, qPrintable(dataDir()));
        for (const QString& file : files)
            QTest::newRow(qPrintable(file.chopped(5))) << file.chopped(5);
    }
};

QTEST_MAIN(GgaCapturesWindowTest)
#include "gga_captures_window_test.moc"
