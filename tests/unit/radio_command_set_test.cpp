// The module command set: command lines, the data answer's pattern and
// signal strength, and the readers of the text answers.
#include "module/AnswerWatch.h"
#include "common/HexDump.h"
#include "module/CommandSet.h"
#include "module/ExchangeTiming.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace cmdset;

class RadioCommandSetTest : public QObject {
    Q_OBJECT
private slots:
    void dataCommandBytes() {
        const QString cmd = dataCommand(QStringLiteral("@DT05"), QStringLiteral("001"), QStringLiteral("XX"));
        QCOMPARE(cmd, QStringLiteral("@DT0500" "1XX"));
        QCOMPARE(commandLine(cmd), QByteArray::fromHex("404454303530303158580D0A"));
        QCOMPARE(commandLine(cmd).size(), 12);
        QCOMPARE(commandLine(kAnswerRssiCommand), QByteArray("@RS\r\n"));
    }

    void readableRendering_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("mode answer") << QByteArray("*MO=01\r\n") << QStringLiteral("*MO=01[Cr][Lf]");
        QTest::newRow("NUL and FF") << QByteArray("\x00\xFF", 2) << QStringLiteral("\uFF65\uFF65");
        QTest::newRow("printable edges") << QByteArray("\x1F\x20\x7E\x7F") << QStringLiteral("\uFF65 ~\uFF65");
        QTest::newRow("LF CR order kept") << QByteArray("\n\r") << QStringLiteral("[Lf][Cr]");
        QTest::newRow("data answer") << QByteArray("*DR=05001\xFF\xB5") << QStringLiteral("*DR=05001\uFF65\uFF65");
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void readableRendering() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(readableText(bytes), text);
    }

    void everyByteRendered() {
        // One rendering per byte value, none lost and none merged.
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = readableText(all);
        QCOMPARE(text.size(), 95 + 4 + 4 + (256 - 95 - 2));
        QCOMPARE(text.count(QChar(0xFF65)), 256 - 95 - 2);
    }

    void expectedAnswerPattern() {
        const QString chk = expectedAnswer(kExpectedAnswerHex, QStringLiteral("001"));
        QCOMPARE(chk, QStringLiteral("2A 44 52 3D 30 35 30 30 31 "));
        QCOMPARE(chk.size(), 27);
    }

    void farEndRssiFromBytes_data() {
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("rssi");
        QTest::newRow("FF B5 is -75") << 0xFF << 0xB5 << -75;
        QTest::newRow("00 14 is 20") << 0x00 << 0x14 << 20;
        QTest::newRow("7F FF largest") << 0x7F << 0xFF << 32767;
        QTest::newRow("80 00 smallest") << 0x80 << 0x00 << -32768;
        QTest::newRow("FF FF is -1") << 0xFF << 0xFF << -1;
        QTest::newRow("00 00 is 0") << 0x00 << 0x00 << 0;
    }
    void farEndRssiFromBytes() {
        QFETCH(int, high);
        QFETCH(int, low);
        QFETCH(int, rssi);
        QCOMPARE(farEndRssi(high, low), rssi);
    }

    void farEndRssiInDump_data() {
        QTest::addColumn<QString>("rxData");
        QTest::addColumn<QVariant>("rssi");
        const QString chk = QStringLiteral("2A 44 52 3D 30 35 30 30 31 ");
        QTest::newRow("answer alone") << chk + "FF B5 0D 0A " << QVariant(-75);
        QTest::newRow("after garbage") << "41 0D 0A " + chk + "00 14 " << QVariant(20);
        QTest::newRow("first match counts") << chk + "00 14 " + chk + "FF B5 " << QVariant(20);
        // The answer is there: a success, whatever became of its last bytes.
        QTest::newRow("low byte not yet there") << chk + "FF " << QVariant(-256);
        QTest::newRow("low byte cut to one digit") << chk + "00 1" << QVariant(1);
        QTest::newRow("neither byte there") << chk << QVariant(0);
        QTest::newRow("other sequence") << QStringLiteral("2A 44 52 3D 30 35 30 30 32 FF B5 ") << QVariant();
        QTest::newRow("nothing received") << QString() << QVariant();
    }
    void farEndRssiInDump() {
        QFETCH(QString, rxData);
        QFETCH(QVariant, rssi);
        const auto got = farEndRssiIn(rxData, QStringLiteral("2A 44 52 3D 30 35 30 30 31 "));
        QCOMPARE(got.has_value(), rssi.isValid());
        if (got)
            QCOMPARE(*got, rssi.toInt());
    }

    // The answer recognised as the receive handler does (in the newest 80
    // bytes, after each event) keeps its level bytes however the stream is
    // cut into events and however much noise follows: the same level as a
    // search of the whole period's dump, and the same as the dump itself
    // gives whenever the answer is still in it at the step.
    void answerWatchKeepsWhatWasRecognised() {
        QRandomGenerator rng(7);
        const QString pattern = expectedAnswer(kExpectedAnswerHex, QStringLiteral("042"));
        int recognised = 0, scrolledOut = 0;
        for (int round = 0; round < 3000; ++round) {
            QByteArray stream;
            for (int i = int(rng.bounded(90)); i > 0; --i)
                stream += char(rng.bounded(256));
            if (rng.bounded(4) != 0)
                stream += QByteArray("*DR=05042") + char(rng.bounded(256)) + char(rng.bounded(256));
            for (int i = int(rng.bounded(240)); i > 0; --i)
                stream += char(rng.bounded(256));
            const qsizetype cut = rng.bounded(stream.size() + 1);  // the step looks here
            cmdset::AnswerWatch watch;
            watch.begin();
            QString dump;
            std::optional<std::int64_t> recognisedAt;
            for (qsizetype at = 0, event = 0; at < cut; ++event) {
                const qsizetype n = std::min<qsizetype>(cut - at, 1 + rng.bounded(30));
                const QString hex = hexDump(stream.mid(at, n));
                dump = (dump + hex).right(240);
                watch.follow(hex);
                if (!recognisedAt && dump.contains(pattern)) {
                    recognisedAt = 1000 + event;
                    watch.recognise(dump, pattern, 1000 + event);
                }
                at += n;
            }
            QCOMPARE(watch.recognised(), recognisedAt.has_value());
            QCOMPARE(watch.instantUs(), recognisedAt);
            if (!recognisedAt)
                continue;
            ++recognised;
            QCOMPARE(watch.farRssi(), farEndRssiIn(hexDump(stream.left(cut)), pattern));
            if (dump.contains(pattern))
                QCOMPARE(watch.farRssi(), farEndRssiIn(dump, pattern));
            else
                ++scrolledOut;
        }
        QVERIFY2(recognised > 1000 && scrolledOut > 100, qPrintable(QStringLiteral("%1 %2").arg(recognised).arg(scrolledOut)));
    }

    void valueTexts_data() {
        QTest::addColumn<QString>("rxText");
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("*RS=") << "*RS=-75dBm[Cr][Lf]" << "*RS=" << QVariant("-75");
        QTest::newRow("RSSI=") << "RSSI=-75dBm[Cr][Lf]" << "RSSI=" << QVariant("-75");
        QTest::newRow("*RA= after other text") << "*DR=05001･･[Cr][Lf]*RA=-110dBm[Cr][Lf]" << "*RA="
                                               << QVariant("-110");
        QTest::newRow("verbatim, not a number") << "*RS= ab dBm" << "*RS=" << QVariant(" ab ");
        QTest::newRow("first dBm after the keyword") << "dBm*RS=-80dBm-90dBm" << "*RS=" << QVariant("-80");
        QTest::newRow("no dBm yet") << "*RS=-7" << "*RS=" << QVariant();
        QTest::newRow("no keyword") << "-75dBm" << "*RS=" << QVariant();
    }
    void valueTexts() {
        QFETCH(QString, rxText);
        QFETCH(QString, keyword);
        QFETCH(QVariant, value);
        const auto got = valueBeforeDbm(rxText, keyword);
        QCOMPARE(got.has_value(), value.isValid());
        if (got)
            QCOMPARE(*got, value.toString());
    }

    void answerRssiEitherForm_data() {
        QTest::addColumn<QString>("rxText");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("*RS=") << "*RS=-75dBm" << QVariant("-75");
        QTest::newRow("RSSI=") << "RSSI=-75dBm" << QVariant("-75");
        QTest::newRow("*RS= wins, standing first") << "*RS=-80dBm[Cr][Lf]RSSI=-75dBm" << QVariant("-80");
        QTest::newRow("*RS= wins, standing last") << "RSSI=-75dBm[Cr][Lf]*RS=-80dBm" << QVariant("-80");
        // A "*RS=" report still missing its "dBm" leaves the box as it was;
        // an older-form value beside it does not stand in.
        QTest::newRow("*RS= without dBm") << "RSSI=-75dBm[Cr][Lf]*RS=-8" << QVariant();
        QTest::newRow("*RS= runs to the next dBm") << "*RS=RSSI=-75dBm" << QVariant("RSSI=-75");
        QTest::newRow("other answer") << "*RA=-75dBm" << QVariant();
    }
    void answerRssiEitherForm() {
        QFETCH(QString, rxText);
        QFETCH(QVariant, value);
        const auto got = answerRssi(rxText);
        QCOMPARE(got.has_value(), value.isValid());
        if (got)
            QCOMPARE(*got, value.toString());
    }

    void firmware_data() {
        QTest::addColumn<QString>("rxText");
        QTest::addColumn<int>("kind");
        QTest::newRow("*FV") << "*FV=1.02[Cr][Lf]" << 2;
        QTest::newRow("Version=") << "Version=3.1[Cr][Lf]" << 1;
        QTest::newRow("both give 2") << "Version=3.1[Cr][Lf]*FV=1.02" << 2;
        QTest::newRow("none") << "*ER=01[Cr][Lf]" << 0;
        QTest::newRow("case matters") << "version=3.1 *fv" << 0;
    }
    void firmware() {
        QFETCH(QString, rxText);
        QFETCH(int, kind);
        QCOMPARE(firmwareKind(rxText), kind);
    }

    void mode_data() {
        QTest::addColumn<QString>("rxText");
        QTest::addColumn<int>("mode");
        QTest::newRow("FSK") << "*MO=01[Cr][Lf]" << int(Mode::Fsk);
        QTest::newRow("LoRa") << "*MO=03[Cr][Lf]" << int(Mode::Lora);
        QTest::newRow("both: FSK wins") << "*MO=03[Cr][Lf]*MO=01" << int(Mode::Fsk);
        QTest::newRow("other mode") << "*MO=02[Cr][Lf]" << int(Mode::None);
        QTest::newRow("nothing") << "" << int(Mode::None);
    }
    void mode() {
        QFETCH(QString, rxText);
        QFETCH(int, mode);
        QCOMPARE(int(moduleMode(rxText)), mode);
    }

    void spreadingAnswer_data() {
        QTest::addColumn<QString>("rxText");
        QTest::addColumn<bool>("found");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("index");
        QTest::newRow("00") << "*SF=00[Cr][Lf]" << true << true << 0;
        QTest::newRow("02") << "*SF=02[Cr][Lf]" << true << true << 2;
        QTest::newRow("05") << "*SF=05[Cr][Lf]" << true << true << 5;
        QTest::newRow("06 out of range") << "*SF=06[Cr][Lf]" << true << false << 6;
        QTest::newRow("12 out of range") << "*SF=12[Cr][Lf]" << true << false << 12;
        // The two characters are read as a number: only a result outside
        // 0 ... 5 is refused.
        QTest::newRow("blank before the digit") << "*SF= 5[Cr][Lf]" << true << true << 5;
        QTest::newRow("point after the digit") << "*SF=5.[Cr][Lf]" << true << true << 5;
        QTest::newRow("plus sign") << "*SF=+3[Cr][Lf]" << true << true << 3;
        QTest::newRow("half to even") << "*SF=.5[Cr][Lf]" << true << true << 0;
        QTest::newRow("one digit, then the line end") << "*SF=4[Cr][Lf]" << true << true << 4;
        QTest::newRow("cut off after one digit") << "*SF=0" << true << true << 0;
        QTest::newRow("no number reads as 0") << "*SF=[Cr][Lf]" << true << true << 0;
        QTest::newRow("minus sign") << "*SF=-1[Cr][Lf]" << true << false << -1;
        QTest::newRow("6 with a blank") << "*SF= 6[Cr][Lf]" << true << false << 6;
        QTest::newRow("missing") << "*MO=03[Cr][Lf]" << false << false << 0;
    }
    void spreadingAnswer() {
        QFETCH(QString, rxText);
        QFETCH(bool, found);
        QFETCH(bool, valid);
        QFETCH(int, index);
        const Spreading s = spreading(rxText);
        QCOMPARE(s.found, found);
        QCOMPARE(s.valid, valid);
        if (found)
            QCOMPARE(s.index, index);
    }

    void chips() {
        const int expected[kSpreadingCount] = {128, 256, 512, 1024, 2048, 4096};
        for (int i = 0; i < kSpreadingCount; ++i)
            QCOMPARE(chipsPerSymbol(i), expected[i]);
        QCOMPARE(chipsPerSymbol(spreading(QStringLiteral("*SF=02")).index), 512);
        QCOMPARE(chipsPerSymbol(spreading(QStringLiteral("*SF=05")).index), 4096);
    }

    void elapsedAcrossWraps_data() {
        QTest::addColumn<qint64>("sinceCount");
        QTest::addColumn<qint64>("nowCount");
        QTest::newRow("plain") << qint64(1000) << qint64(1300);
        QTest::newRow("across 2^31") << (qint64(1) << 31) - 100 << (qint64(1) << 31) + 200;
        QTest::newRow("across 2^32") << (qint64(1) << 32) - 100 << (qint64(1) << 32) + 200;
        QTest::newRow("same reading") << qint64(5) << qint64(5);
    }
    void elapsedAcrossWraps() {
        QFETCH(qint64, sinceCount);
        QFETCH(qint64, nowCount);
        const auto as32 = [](qint64 v) { return qint32(quint32(quint64(v))); };
        QCOMPARE(elapsedMs(as32(nowCount), as32(sinceCount)), nowCount - sinceCount);
    }
};

QTEST_APPLESS_MAIN(RadioCommandSetTest)
#include "radio_command_set_test.moc"
