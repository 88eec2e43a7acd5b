// The real sound player: a file that is missing, or there but not a sound
// it can play, gives the default beep; a good wave file does not.
#include "platform/QtSoundPlayer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

// A short, valid PCM wave file: 8 kHz, 16 bit, mono, 50 ms of silence.
QByteArray waveFile() {
    const quint32 samples = 400;
    const quint32 data = samples * 2;
    QByteArray b;
    const auto u32 = [&b](quint32 v) { char c[4]; qToLittleEndian(v, c); b.append(c, 4); };
    const auto u16 = [&b](quint16 v) { char c[2]; qToLittleEndian(v, c); b.append(c, 2); };
    b.append("RIFF");
    u32(36 + data);
    b.append("WAVEfmt ");
    u32(16); u16(1); u16(1); u32(8000); u32(16000); u16(2); u16(16);
    b.append("data");
    u32(data);
    b.append(QByteArray(int(data), '\0'));
    return b;
}

} // namespace

class PlatformSoundTest : public QObject {
    Q_OBJECT
private slots:
    void unplayableFilesBeep_data() {
        QTest::addColumn<QByteArray>("content");   // null: no file
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("text named .wav") << QByteArray("not a sound\r\n");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("cut-off wave header") << waveFile().left(20);
        QTest::newRow("wave header, damaged format") << waveFile().left(20) + QByteArray(40, '\xFF');
    }
    void unplayableFilesBeep() {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("COMP.wav"));
        if (!content.isNull()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        int beeps = 0;
        QtSoundPlayer player([&beeps] { ++beeps; });
        player.play(path);
        QTRY_COMPARE_WITH_TIMEOUT(beeps, 1, 5000);
        // Asked again, it beeps again.
        player.play(path);
        QTRY_COMPARE_WITH_TIMEOUT(beeps, 2, 5000);
    }

    void goodWaveFileDoesNotBeep() {
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("COMP.wav"));
        QFile f(good);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(waveFile());
        f.close();
        int beeps = 0;
        QtSoundPlayer player([&beeps] { ++beeps; });
        player.play(good);
        QTest::qWait(1500);
        QCOMPARE(beeps, 0);
        // A bad file asked for while the good one plays replaces it and beeps.
        player.play(dir.filePath(QStringLiteral("NO_COMP.wav")));
        QCOMPARE(beeps, 1);
    }
};

QTEST_MAIN(PlatformSoundTest)
#include "platform_sound_test.moc"
