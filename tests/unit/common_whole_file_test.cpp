// Files written whole or not at all, on real files that fill up (a
// file-size limit on the test process): a replaced file keeps its old bytes
// when the new ones do not all fit, an append that does not fit leaves the
// file exactly as it was, the reason is the system's own, and once there is
// room again the file goes on with whole appends.
#include "../FileLimits.h"
#include "common/TextFile.h"
#include "common/WholeFile.h"
#include "export/RecordStream.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

const QString kTooLarge = QString::fromLocal8Bit(std::strerror(EFBIG));

} // namespace

class WholeFileTest : public QObject {
    Q_OBJECT
private slots:
    void replaceKeepsTheOldBytes_data();
    void replaceKeepsTheOldBytes();
    void appendLandsWholeOrNotAtAll_data();
    void appendLandsWholeOrNotAtAll();
};

void WholeFileTest::replaceKeepsTheOldBytes_data() {
    QTest::addColumn<int>("limit");
    QTest::newRow("no room at all") << 0;
    QTest::newRow("cut short after 100 bytes") << 100;
    QTest::newRow("one byte short") << 699;
}

void WholeFileTest::replaceKeepsTheOldBytes() {
    QFETCH(int, limit);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("qvx-loopback.ini"));
    const QByteArray old(611, 'o');
    const QByteArray next(700, 'n');
    QVERIFY(wholefile::replace(path, old));
    QString error;
    {
        FileSizeLimit full{rlim_t(limit)};
        QVERIFY(!wholefile::replace(path, next, &error));
        // Through the code page helper too (the settings and datum files).
        QString error2;
        QVERIFY(!textfile::write(path, QString(700, u'n'), &error2));
        QCOMPARE(error2, kTooLarge);
    }
    QCOMPARE(error, kTooLarge);
    QCOMPARE(bytesOf(path), old);
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("qvx-loopback.ini")});
    // With room again the file is replaced.
    QVERIFY(wholefile::replace(path, next, &error));
    QCOMPARE(bytesOf(path), next);
}

void WholeFileTest::appendLandsWholeOrNotAtAll_data() {
    QTest::addColumn<int>("room");
    QTest::newRow("no room") << 0;
    QTest::newRow("room for 3 bytes") << 3;
    QTest::newRow("one byte short") << 13;
}

void WholeFileTest::appendLandsWholeOrNotAtAll() {
    QFETCH(int, room);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.jsonl"));
    const QByteArray first = "{\"packet\":1}\n";
    const QByteArray second = "{\"packet\":22}\n";   // 14 bytes
    const QByteArray third = "{\"packet\":26}\n";
    QVERIFY(wholefile::append(path, first));
    QString error;
    {
        FileSizeLimit full{rlim_t(first.size() + room)};
        QVERIFY(!wholefile::append(path, second, &error));
        QCOMPARE(error, kTooLarge);
        QCOMPARE(bytesOf(path), first);   // cut back to its size before
        // The record stream writer the same way.
        recordstream::RecordStreamWriter stream(path);
        QVERIFY(!stream.append(second));
        QCOMPARE(stream.error(), kTooLarge);
        QCOMPARE(bytesOf(path), first);
    }
    // Space is back: the next line lands whole on a line of its own.
    QVERIFY(wholefile::append(path, third, &error));
    QCOMPARE(bytesOf(path), first + third);
}

QTEST_MAIN(WholeFileTest)
#include "common_whole_file_test.moc"
