// Every file the window writes, on real files that fill up (a file-size
// limit on the test process): the settings and datum files keep their old
// bytes when a save fails, an unreadable settings file is kept beside the
// new one, and a run whose disk fills and empties again leaves logs, map
// logs and a record stream with whole lines only, which the exporter reads
// without a problem and without an exchange that never happened.
#include "../FileLimits.h"
#include "SimOnDevice.h"
#include "WindowHarness.h"
#include "analysis/RunRecorder.h"
#include "common/TextFile.h"
#include "export/LogReader.h"
#include "export/StreamReader.h"
#include "gps/DatumPoint.h"
#include "looptest/RunControl.h"
#include "looptest/TestCycle.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cstring>

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

const QString kTooLarge = QString::fromLocal8Bit(std::strerror(EFBIG));
const QByteArray kGga("$GPGGA,023000.00,3539.1234,N,13945.6789,E,1,08,0.9,40.5,M,39.2,M,,*57\r\n");

} // namespace

class FilesWholeTest : public QObject {
    Q_OBJECT
private slots:
    void settingsAndDatumKeepTheirBytesWhenASaveFails();
    void unreadableSettingsAreKeptBeside_data();
    void unreadableSettingsAreKeptBeside();
    void runThroughAFullDisk();
};

void FilesWholeTest::settingsAndDatumKeepTheirBytesWhenASaveFails() {
    WindowHarness h;
    const QByteArray ini = textfile::encode(QStringLiteral("Tx_Com       ,COM4  ,送信機Com通信ポート\r\n"));
    QVERIFY(writeBytes(h.settingsPath(), ini));
    const QString pos = h.path(QStringLiteral("site.pos"));
    const QByteArray datum = "GPS Position,Datum point,Comment\r\nN: ,  35.1, 'Latitude-N  (Dec)\r\n";
    QVERIFY(writeBytes(pos, datum));
    Form1& f = h.start();
    QCOMPARE(inside(f).ui.Com_Port->text(), QStringLiteral("COM4"));
    QVERIFY(!f.someFileNotWrittenWhole());
    StderrCapture err;
    {
        FileSizeLimit full(8);
        h.dialogs.saveAnswers.enqueue(pos);
        h.dialogs.confirmAnswers.enqueue(true);
        inside(f).ui.Geten_SetSW->click();
        QCOMPARE(inside(f).ui.GPSMessage->text(), DatumPoint::kWriteFailed);
        QCOMPARE(inside(f).ui.GPSMessage->toolTip(), kTooLarge);
        QCOMPARE(bytesOf(pos), datum);
        QVERIFY(f.someFileNotWrittenWhole());
        inside(f).ui.Com_Port->setText(QStringLiteral("COM9"));
        f.Form_Unload();
    }
    QCOMPARE(bytesOf(h.settingsPath()), ini);
    const QString said = err.text();
    QVERIFY2(said.contains(QStringLiteral("settings not saved to %1: %2").arg(h.settingsPath(), kTooLarge)), qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("datum point not saved to %1: %2").arg(pos, kTooLarge)), qPrintable(said));
    // Nothing half-written is left beside them, and a readable file has no copy.
    const QStringList files = QDir(h.dir()).entryList(QDir::Files | QDir::Hidden);
    QVERIFY2(files.filter(QRegularExpression(QStringLiteral("^(qvx-loopback\\.ini|site\\.pos)\\."))).isEmpty(),
             qPrintable(files.join(u' ')));
    // With room again the datum file is saved and the report goes.
    h.dialogs.saveAnswers.enqueue(pos);
    h.dialogs.confirmAnswers.enqueue(true);
    inside(f).ui.Geten_SetSW->click();
    QCOMPARE(inside(f).ui.GPSMessage->text(), QString());
    QCOMPARE(inside(f).ui.GPSMessage->toolTip(), QString());
    QCOMPARE(bytesOf(pos), QByteArray("GPS Position,Datum point,Comment\r\n"));
    h.close();
}

void FilesWholeTest::unreadableSettingsAreKeptBeside_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const QString own = QStringLiteral("Tx_Com       ,COM4  ,送信機Com通信ポート\r\nTX_CnEnd     ,25  ,x\r\n");
    QByteArray utf16("\xFF\xFE", 2);
    utf16 += QByteArray(reinterpret_cast<const char*>(own.utf16()), own.size() * 2);
    QTest::newRow("UTF-16") << utf16 << QStringLiteral("not code page 932 text");
    QTest::newRow("unbalanced quote") << textfile::encode(QStringLiteral("Tx_Com       ,\"COM4  ,x\r\nTX_CnEnd     ,25  ,x\r\n"))
                                      << QStringLiteral("a double quote that is never closed");
}

void FilesWholeTest::unreadableSettingsAreKeptBeside() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    WindowHarness h;
    QVERIFY(writeBytes(h.settingsPath(), bytes));
    const QString copy = h.settingsPath() + QStringLiteral(".unreadable");
    StderrCapture err;
    Form1& f = h.start();
    // Read by the usual rule: nothing usable, so the defaults.
    QCOMPARE(inside(f).ui.Com_Port->text(), QString());
    QCOMPARE(inside(f).ui.Tx_CnEnd->text(), QStringLiteral("100"));
    QCOMPARE(bytesOf(copy), bytes);
    const QString said = err.text();
    QVERIFY2(said.contains(QStringLiteral("%1 cannot be read as written (%2)").arg(h.settingsPath(), reason)) &&
                 said.contains(copy),
             qPrintable(said));
    h.close();
    QCOMPARE(bytesOf(copy), bytes);
    QVERIFY(bytesOf(h.settingsPath()).startsWith("Form1_Top    ,"));
}

// The disk fills while a counted run of 16 goes on and empties again:
// first only the record stream has no room (packet 3), then the answer half
// of packet 5 fits only in part, then nothing fits (packets 6 to 8), then
// everything does. Every line in the files is whole, packet 5's line ends
// with its own answer, and what the exporter reads from each file is
// exactly what the run measured, less what was lost.
void FilesWholeTest::runThroughAFullDisk() {
    WindowHarness h;
    SimConfig cfg;
    cfg.farRssi = RssiSpec::sequence({-70, -71, -72, -73, -74, -75, -76, -77});
    SimOnDevice sim(h.ports.addDevice(QStringLiteral("COM3")), h.clock, cfg);
    FakeDevice* gps = h.ports.addDevice(QStringLiteral("COM5"));
    Form1& f = h.start();
    inside(f).ui.Com_Port->setText(QStringLiteral("COM3"));
    inside(f).ui.GPS_Port->setText(QStringLiteral("COM5"));
    inside(f).ui.GPS_On->setChecked(true);
    inside(f).ui.LogFile_Flg->setChecked(true);
    inside(f).ui.LogFileName->setText(QStringLiteral("full"));
    inside(f).ui.MapFileName->setText(QStringLiteral("full"));
    inside(f).ui.Tx_CnEnd->setText(QStringLiteral("16"));

    const auto path = [&](const QString& header, const QString& ext) {
        return h.path(header + QStringLiteral("full") + ext);
    };
    const auto commLog = [&] { return path(inside(f).ui.LogFileHedder->text(), QStringLiteral(".log")); };
    const auto size = [](const QString& p) { return rlim_t(QFileInfo(p).size()); };
    StderrCapture err;
    FileSizeLimit disk(RLIM_INFINITY);
    QList<records::Exchange> measured;
    QString modeText, streamFailure;
    // After the recorder has written the exchange, before the next send.
    QObject::connect(inside(f).cycle.get(), &TestCycle::exchangeEvaluated, &f, [&](const records::Exchange& e) {
        measured << e;
        if (e.packet == 1) modeText = inside(f).ui.Message->text();
        if (e.packet == 2) disk.set(size(commLog()) + 300);   // room for the logs, not for a record
        if (e.packet == 3) {
            streamFailure = inside(f).ui.Message->text();
            disk.lift();
        }
        if (e.packet == 5) disk.set(1);
        if (e.packet == 8) disk.lift();
    });
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("log not written: .*Mode_full\\.log - " + kTooLarge + "$"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("log not written: .*Map_full\\.csv - " + kTooLarge + "$"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("log not written: .*Map_full\\.log - " + kTooLarge + "$"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("log written again: .*Mode_full\\.log - lines lost: 3$"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("log written again: .*Map_full\\.csv - lines lost: 3$"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("log written again: .*Map_full\\.log - lines lost: 3$"));

    bool ended = false;
    QObject::connect(inside(f).run.get(), &RunControl::runEnded, &f, [&] { ended = true; });
    inside(f).TestStartSW[1]->click();
    bool partial = false;
    const qint64 began = h.clock.milliseconds();
    while (!ended) {
        h.advance(1);
        if (h.clock.milliseconds() % 100 == 0) gps->send(kGga);
        if (!partial && sim.dataCommands() == 5) {
            partial = true;
            disk.set(size(commLog()) + 5);   // packet 5's answer half fits in part
        }
        QVERIFY(h.clock.milliseconds() - began < 60'000);
    }
    QCOMPARE(measured.size(), 16);
    const QString stream = inside(f).recorder->streamPath();
    QCOMPARE(streamFailure, QStringLiteral("ログ書込異常: ") + QFileInfo(stream).fileName());
    QCOMPARE(inside(f).ui.Message->text(), modeText);   // every file written again
    f.Form_Unload();
    QVERIFY(f.someFileNotWrittenWhole());

    const QString mapLog = path(inside(f).ui.MapFileHedder->text(), QStringLiteral(".log"));
    const QString mapCsv = path(inside(f).ui.MapFileHedder->text(), QStringLiteral(".csv"));
    const QByteArray log = bytesOf(commLog());
    const int line5 = log.indexOf("@DT05005");
    QVERIFY(line5 > 0);
    QVERIFY2(log.mid(line5, log.indexOf("\r\n", line5) - line5).contains("*DR=05005"), log.constData());
    QVERIFY(!log.contains("@DT05006") && !log.contains("@DT05008"));

    // Each file read back: no problem, and each exchange one the run measured.
    const auto same = [&](const records::Exchange& p) {
        for (const records::Exchange& e : measured)
            if (e.payload == p.payload)
                return (e.outcome == records::Outcome::Answered) == (p.outcome == records::Outcome::Answered) &&
                       e.farRssi == p.farRssi && e.ackRssi == p.ackRssi && e.noise == p.noise;
        return false;
    };
    const auto payloads = [&](const exportdata::Runs& r) {
        QStringList out;
        for (const records::Exchange& p : r.runs.at(0).exchanges) {
            out << p.payload;
            if (!same(p)) return QStringList{QStringLiteral("invented: ") + p.payload};
            if (!p.position) return QStringList{QStringLiteral("no position: ") + p.payload};
        }
        return out;
    };
    const exportdata::Runs fromLogs = exportdata::readCommLog(log, commLog(), bytesOf(mapLog), mapLog);
    QVERIFY2(fromLogs.problems.empty(), qPrintable(fromLogs.problems.empty() ? QString() : fromLogs.problems.front().text()));
    QCOMPARE(fromLogs.runs.size(), std::size_t(1));
    QCOMPARE(payloads(fromLogs), QString("001 002 003 004 005 009 010 011 012 013 014 015 016").split(u' '));
    const exportdata::Runs fromStream = exportdata::readStream(bytesOf(stream), stream);
    QVERIFY2(fromStream.problems.empty(), qPrintable(fromStream.problems.empty() ? QString() : fromStream.problems.front().text()));
    QVERIFY(fromStream.notes.empty());   // its end record is there
    QCOMPARE(payloads(fromStream), QString("001 002 004 009 010 011 012 013 014 015 016").split(u' '));
    for (const QString& map : {mapLog, mapCsv}) {
        const QList<QByteArray> lines = bytesOf(map).split('\n');
        QCOMPARE(lines.size(), 1 + 13 + 1);   // the header, 13 lines, nothing after the last line end
        for (const QByteArray& l : lines.mid(1, 13))
            QVERIFY2(l.endsWith('\r') && l.count(',') == 5, l.constData());
    }

    // The failures with the system's reason, and what each file lost.
    const QString said = err.text();
    QVERIFY2(said.contains(QStringLiteral("cannot write %1: %2").arg(stream, kTooLarge)), qPrintable(said));
    const QList<QPair<QString, int>> lostLines{{commLog(), 3}, {mapLog, 3}, {mapCsv, 3}, {stream, 5}};
    for (const auto& [file, lost] : lostLines)
        QVERIFY2(said.contains(QStringLiteral("lines lost: %1: %2\n").arg(file).arg(lost)), qPrintable(said));
    QVERIFY(!said.contains(QStringLiteral("Unknown error")));
}

QTEST_MAIN(FilesWholeTest)
#include "files_whole_test.moc"
