// The datum point file on the window with fakes: set from the worked
// position and read back, the corrections that go with their file, the
// overwrite question both ways, and the failures that keep the datum point.
#include "WindowHarness.h"
#include "gps_worked_fix.h"
#include "common/TextFile.h"
#include "gps/DatumPoint.h"

#include <QFile>
#include <QtTest>

namespace {
const QString kHeader = QStringLiteral("GPS Position,Datum point,Comment\r\n");
const QString kWorkedFile = kHeader + QStringLiteral("N: ,  35.6520566, 'Latitude-N  (Dec)\r\n"
                                                     "E: ,  139.761315, 'Longitude-E (Dec)\r\n"
                                                     "M: ,  40.5, 'Heigt-M(m)\r\n");
QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}

class GpsWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowHarness> h;
    Form1& f() { return h->form(); }

private slots:
    void init() { h = std::make_unique<WindowHarness>(); }
    void cleanup() { h.reset(); }

    void datumRoundTrip() {
        h->start();
        gpsOnAtWorkedPosition(*h);
        const QString path = h->path(QStringLiteral("origin.pos"));
        h->dialogs.saveAnswers.enqueue(path);
        inside(f()).ui.Geten_SetSW->click();
        QCOMPARE(fileBytes(path), textfile::encode(kWorkedFile));
        QCOMPARE(h->dialogs.questions.size(), 0);
        inside(f()).st.DatumLatitude = inside(f()).st.DatumLongitude = inside(f()).st.DatumHeight = 0;
        h->dialogs.openAnswers.enqueue(path);
        inside(f()).ui.Geten_ReadSW->click();
        QCOMPARE(inside(f()).st.DatumLatitude, 35.6520566);
        QCOMPARE(inside(f()).st.DatumLongitude, 139.761315);
        QCOMPARE(inside(f()).st.DatumHeight, 40.5);
        QCOMPARE(inside(f()).ui.GPSMessage->text(), QString());
    }

    // The "NC:"/"EC:" corrections go with the file they came from: reading
    // another file, or setting a new point, leaves none behind; a failed read
    // keeps them with the rest of the datum point.
    void correctionsStayWithTheirFile() {
        h->start();
        const QString corrected = h->path(QStringLiteral("corrected.pos"));
        QVERIFY(textfile::write(corrected, kWorkedFile + QStringLiteral("NC:, 0.12, a\r\nEC:, -0.3, b\r\n")));
        const QString plain = h->path(QStringLiteral("plain.pos"));
        QVERIFY(textfile::write(plain, kWorkedFile));
        const auto read = [&](const QString& path) {
            h->dialogs.openAnswers.enqueue(path);
            inside(f()).ui.Geten_ReadSW->click();
        };
        read(corrected);
        QCOMPARE(inside(f()).st.NorthCorrection, 0.12);
        QCOMPARE(inside(f()).st.EastCorrection, -0.3);
        read(h->path(QStringLiteral("missing.pos")));
        QCOMPARE(inside(f()).st.NorthCorrection, 0.12);
        read(plain);
        QCOMPARE(inside(f()).st.NorthCorrection, 0.0);
        QCOMPARE(inside(f()).st.EastCorrection, 0.0);

        read(corrected);
        gpsOnAtWorkedPosition(*h);
        const QString saved = h->path(QStringLiteral("new.pos"));
        h->dialogs.saveAnswers.enqueue(saved);
        inside(f()).ui.Geten_SetSW->click();
        QCOMPARE(inside(f()).st.NorthCorrection, 0.0);
        QCOMPARE(inside(f()).st.EastCorrection, 0.0);
        QCOMPARE(fileBytes(saved), textfile::encode(kWorkedFile));
    }

    void setWithGpsOffWritesTheHeaderOnly() {
        h->start();
        inside(f()).st.DatumLatitude = 35;
        const QString path = h->path(QStringLiteral("plain"));
        h->dialogs.saveAnswers.enqueue(path);
        inside(f()).ui.Geten_SetSW->click();
        QCOMPARE(fileBytes(path), textfile::encode(kHeader));
        QCOMPARE(inside(f()).st.DatumLatitude, 35.0);
    }

    void overwriteQuestion_data() {
        QTest::addColumn<bool>("answer");
        QTest::newRow("OK overwrites") << true;
        QTest::newRow("Cancel keeps the file") << false;
    }
    void overwriteQuestion() {
        QFETCH(bool, answer);
        h->start();
        gpsOnAtWorkedPosition(*h);
        const QString path = h->path(QStringLiteral("old.pos"));
        QVERIFY(textfile::write(path, QStringLiteral("old\r\n")));
        h->dialogs.saveAnswers.enqueue(path);
        h->dialogs.confirmAnswers.enqueue(answer);
        inside(f()).ui.Geten_SetSW->click();
        QCOMPARE(h->dialogs.questions, QStringList{path + QStringLiteral("\r\nこのファイルはすでに存在します。\r\r\n上書きしますか？")});
        QCOMPARE(h->dialogs.titles, QStringList{QStringLiteral("設定ファイルの保存")});
        QCOMPARE(fileBytes(path), answer ? textfile::encode(kWorkedFile) : QByteArray("old\r\n"));
        // The datum point was taken before the dialogs, whatever the answer.
        QCOMPARE(inside(f()).st.DatumLatitude, 35.6520566);
    }

    void emptyExistingFileWrittenWithoutAsking() {
        h->start();
        const QString path = h->path(QStringLiteral("empty.pos"));
        QVERIFY(textfile::write(path, QString()));
        h->dialogs.saveAnswers.enqueue(path);
        inside(f()).ui.Geten_SetSW->click();
        QCOMPARE(h->dialogs.questions.size(), 0);
        QCOMPARE(fileBytes(path), textfile::encode(kHeader));
    }

    void readFailuresKeepTheDatumPoint_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("content");   // empty: no such file
        QTest::newRow("missing file") << "nothere.pos" << "";
        QTest::newRow("incomplete three") << "cut.pos" << "N:,10,a\r\nE:,20\r\n";
    }
    void readFailuresKeepTheDatumPoint() {
        QFETCH(QString, name);
        QFETCH(QString, content);
        h->start();
        const QString path = h->path(name);
        if (!content.isEmpty()) QVERIFY(textfile::write(path, content));
        inside(f()).st.DatumLatitude = 1;
        inside(f()).st.DatumLongitude = 2;
        inside(f()).st.DatumHeight = 3;
        h->dialogs.openAnswers.enqueue(path);
        inside(f()).ui.Geten_ReadSW->click();
        QCOMPARE(inside(f()).st.DatumLatitude, 1.0);
        QCOMPARE(inside(f()).st.DatumLongitude, 2.0);
        QCOMPARE(inside(f()).st.DatumHeight, 3.0);
        QCOMPARE(inside(f()).ui.GPSMessage->text(), DatumPoint::kReadFailed);
    }

    void cancelledDialogsChangeNothing() {
        h->start();
        inside(f()).st.DatumLatitude = 5;
        inside(f()).ui.Geten_ReadSW->click();
        inside(f()).ui.Geten_SetSW->click();
        QCOMPARE(h->dialogs.opens, 1);
        QCOMPARE(h->dialogs.saves, 1);
        QCOMPARE(inside(f()).st.DatumLatitude, 5.0);
        QCOMPARE(inside(f()).ui.GPSMessage->text(), QString());
    }

    void unwritableFileReported() {
        h->start();
        h->dialogs.saveAnswers.enqueue(h->path(QStringLiteral("no/such/folder/x.pos")));
        inside(f()).ui.Geten_SetSW->click();
        QCOMPARE(inside(f()).ui.GPSMessage->text(), DatumPoint::kWriteFailed);
    }
};

QTEST_MAIN(GpsWindowTest)
#include "gps_window_test.moc"
