// Code page 932 text files: exact bytes of the characters the program's
// texts use, and reads, writes and appends that report failure and keep
// what a file already held.
#include "common/TextFile.h"

#include <QtTest>
#include <QTemporaryDir>
#include <unistd.h>

class TextFileTest : public QObject {
    Q_OBJECT
private slots:
    void encodeBytes_data();
    void encodeBytes();
    void decodeInvalid();
    void writeReadRoundTrip();
    void writeReplaces();
    void appendCreatesAndAdds();
    void appendFailures_data();
    void appendFailures();
    void readMissing();
    void writeFailureKeepsOld();
    void appendDiskFull();
    void receivedBytesComeBackUnchanged();
    void receivedCharacters();
};

void TextFileTest::encodeBytes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii untouched, CR LF kept") << "*DR=05\r\n" << QByteArray("*DR=05\r\n");
    QTest::newRow("half-width katakana") << QString::fromUtf8("ｺﾏﾝﾄﾞ") << QByteArray::fromHex("ba cf dd c4 de");
    QTest::newRow("half-width middle dot") << QString::fromUtf8("ﾎﾟｰﾄ･設定確認")
                                           << QByteArray::fromHex("ce df b0 c4 a5 90 dd 92 e8 8a 6d 94 46");
    QTest::newRow("circled one, NEC extension") << QString::fromUtf8("①") << QByteArray::fromHex("8740");
    QTest::newRow("kanji") << QString::fromUtf8("画") << QByteArray::fromHex("89e6");
    QTest::newRow("full-width tilde the Windows way") << QString::fromUtf8("～") << QByteArray::fromHex("8160");
    QTest::newRow("full-width minus the Windows way") << QString::fromUtf8("－") << QByteArray::fromHex("817c");
    QTest::newRow("full-width letters of the font name") << QString::fromUtf8("ＭＳ") << QByteArray::fromHex("826c8272");
    QTest::newRow("exclamation marks") << QString::fromUtf8("応答異常！！") << QByteArray::fromHex("899e939a88d98fed81498149");
}

void TextFileTest::encodeBytes() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(textfile::encode(text).toHex(' '), bytes.toHex(' '));
    QCOMPARE(textfile::decode(bytes), text);
}

void TextFileTest::decodeInvalid() {
    // A lead byte with nothing after it and a byte no character uses: the
    // rest of the text survives.
    const QString t = textfile::decode(QByteArray("OK\x81", 3));
    QVERIFY(t.startsWith(QStringLiteral("OK")));
    const QString u = textfile::decode(QByteArray("A\xFF" "B"));
    QVERIFY(u.startsWith(u'A'));
    QVERIFY(u.endsWith(u'B'));
}

void TextFileTest::writeReadRoundTrip() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.pos"));
    const QString text = QString::fromUtf8("35.6520566, 139.761315,ｺﾒﾝﾄ①\r\n");
    QString error;
    QVERIFY2(textfile::write(path, text, &error), qPrintable(error));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), textfile::encode(text));
    QString back;
    QVERIFY(textfile::read(path, &back, &error));
    QCOMPARE(back, text);
}

void TextFileTest::writeReplaces() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.ini"));
    QVERIFY(textfile::write(path, QStringLiteral("a long first content\r\n")));
    QVERIFY(textfile::write(path, QStringLiteral("b\r\n")));
    QString back;
    QVERIFY(textfile::read(path, &back));
    QCOMPARE(back, QStringLiteral("b\r\n"));
}

void TextFileTest::appendCreatesAndAdds() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.log"));
    QString error;
    QVERIFY2(textfile::append(path, QStringLiteral("one\r\n"), &error), qPrintable(error));
    QVERIFY(textfile::append(path, QString::fromUtf8("二\r\n"), &error));
    QString back;
    QVERIFY(textfile::read(path, &back));
    QCOMPARE(back, QString::fromUtf8("one\r\n二\r\n"));
    // Closed after each call: another handle sees everything at once.
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.size(), qint64(9));
}

void TextFileTest::appendFailures_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("directory in the way") << "dir";
    QTest::newRow("folder missing") << "missing";
    QTest::newRow("read-only file") << "readonly";
}

void TextFileTest::appendFailures() {
    QFETCH(QString, kind);
    if (kind == QLatin1String("readonly") && ::geteuid() == 0)
        QSKIP("root writes read-only files");
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("x.log"));
    if (kind == QLatin1String("dir")) QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("x.log")));
    if (kind == QLatin1String("missing")) path = dir.filePath(QStringLiteral("no/x.log"));
    if (kind == QLatin1String("readonly")) {
        QVERIFY(textfile::write(path, QStringLiteral("kept\r\n")));
        QFile::setPermissions(path, QFile::ReadOwner);
    }
    QString error;
    QVERIFY(!textfile::append(path, QStringLiteral("new\r\n"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!textfile::write(path, QStringLiteral("new\r\n"), nullptr) || kind == QLatin1String("readonly"));
    if (kind == QLatin1String("readonly")) {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        QString back;
        QVERIFY(textfile::read(path, &back));
        QVERIFY(back == QStringLiteral("kept\r\n") || back == QStringLiteral("new\r\n"));
    }
}

void TextFileTest::readMissing() {
    QTemporaryDir dir;
    QString text = QStringLiteral("untouched"), error;
    QVERIFY(!textfile::read(dir.filePath(QStringLiteral("none.ini")), &text, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(text, QStringLiteral("untouched"));
    QVERIFY(!textfile::read(dir.path(), &text, &error));   // a directory
}

void TextFileTest::writeFailureKeepsOld() {
    // Unwritable destination: the old file stays as it was.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    QString error;
    QVERIFY(!textfile::write(path, QStringLiteral("x"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(path).isDir());
}

void TextFileTest::appendDiskFull() {
    // /dev/full accepts the open and fails every write with "no space".
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full");
    QString error;
    QVERIFY(!textfile::append(QStringLiteral("/dev/full"), QStringLiteral("line\r\n"), &error));
    QVERIFY(!error.isEmpty());
}

void TextFileTest::receivedBytesComeBackUnchanged() {
    // Every byte alone, and every byte from 0x80 up followed by every byte,
    // comes back from decoding and encoding exactly as received, whether it
    // arrives in one piece or split after its first byte.
    const auto roundTrip = [](const QByteArray& bytes, qsizetype cut) {
        QByteArray pending;
        QString text = textfile::decodeReceived(&pending, bytes.left(cut));
        text += textfile::decodeReceived(&pending, bytes.mid(cut));
        return textfile::encode(text) + pending;
    };
    for (int a = 0; a < 256; ++a) {
        const QByteArray one = QByteArray(1, char(a)) + "\r";
        QCOMPARE(roundTrip(one, one.size()), one);
        if (a < 0x80) continue;
        for (int b = 0; b < 256; ++b) {
            const QByteArray two = QByteArray(1, char(a)) + char(b) + ",";
            const QByteArray back = roundTrip(two, 1 + (b & 1));
            if (back != two)
                QFAIL(qPrintable(two.toHex(' ') + " came back as " + back.toHex(' ')));
        }
    }
}

void TextFileTest::receivedCharacters() {
    QByteArray pending;
    // Half-width katakana and a two-byte character read as characters.
    QCOMPARE(textfile::decodeReceived(&pending, QByteArray("$\xB1\x82\xA0")), QStringLiteral("$ｱあ"));
    // A first byte at the end waits for its second.
    QCOMPARE(textfile::decodeReceived(&pending, QByteArray("A\x82")), QStringLiteral("A"));
    QCOMPARE(pending, QByteArray("\x82"));
    QCOMPARE(textfile::decodeReceived(&pending, QByteArray("\xA0\r\n")), QStringLiteral("あ\r\n"));
    QVERIFY(pending.isEmpty());
    // Bytes that are no character of their own stay one stand-in each; a
    // first byte followed by a byte that cannot follow it leaves that byte
    // to be read alone.
    QCOMPARE(textfile::decodeReceived(&pending, QByteArray("\x80\xFF\x82\r", 4)),
             QString(QChar(0xDC80)) + QChar(0xDCFF) + QChar(0xDC82) + QChar(u'\r'));
    // The control bytes the code page's table swaps stay as received.
    QCOMPARE(textfile::encode(textfile::decodeReceived(&pending, QByteArray("\x1A\x1C\x7F"))),
             QByteArray("\x1A\x1C\x7F"));
    // A character outside the 16-bit range (here U+10080, whose second half
    // is U+DC80) is not taken for a stand-in.
    QCOMPARE(textfile::encode(QStringLiteral("\U00010080")), textfile::encode(QStringLiteral("\U0001F600")));
    QVERIFY(!textfile::encode(QStringLiteral("\U00010080")).contains('\x80'));
}

QTEST_APPLESS_MAIN(TextFileTest)
#include "common_text_file_test.moc"
