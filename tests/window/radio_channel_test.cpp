// The radio port channel on a fake device and the virtual clock: framing
// of sends, rendering of received bytes, the hex window, recognition and
// timing of the data answer and the single "@RS" that follows it.
#include "WindowHarness.h"
#include "common/HexDump.h"
#include "module/CommandSet.h"
#include "looptest/RunControl.h"
#include "platform/Timer.h"
#include "ports/RadioChannel.h"
#include "ports/RxBuffer.h"

#include <QtTest>

namespace {
const QString kChk001 = QStringLiteral("2A 44 52 3D 30 35 30 30 31 ");
const QByteArray kAnswer001("*DR=05001\xFF\xB5\r\n", 13);
const QByteArray kRsLine("@RS\r\n");
}

class RadioChannelTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowHarness> h;
    FakeDevice* dev = nullptr;

    Form1& f() { return h->form(); }
    void openPort() { QVERIFY(inside(f()).MSComm1->open(QStringLiteral("COM3"), 19200)); }
    // The state the test cycle leaves right after its data command.
    void awaitAnswer(const QString& chk = kChk001) {
        inside(f()).ui.ChkData->setText(chk);
        inside(f()).st.AwaitingResponse = 1;
        inside(f()).st.ResponseTime.clear();
        inside(f()).st.SendTime = h->clock.milliseconds();
    }
    int rsCount() const {
        int n = 0;
        for (const auto& w : dev->writes())
            n += w.bytes == kRsLine;
        return n;
    }

private slots:
    void init() {
        h = std::make_unique<WindowHarness>();
        dev = h->ports.addDevice(QStringLiteral("COM3"));
        h->start();
        openPort();
    }
    void cleanup() { h.reset(); }

    void sendFramesWithCrLfInOneWrite() {
        inside(f()).st.PendingCommand = QStringLiteral("@DT0500" "1XX");
        inside(f()).radio->SendModuleCommand();
        QCOMPARE(dev->writes().size(), 1);
        QCOMPARE(dev->writes().at(0).bytes, QByteArray::fromHex("404454303530303158580D0A"));
        QVERIFY(inside(f()).ui.ComMessage->text() != QStringLiteral("Comポート異常検出"));
        QCOMPARE(inside(f()).st.RunState, 0);
    }

    void failedWriteStopsTheRun_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("writes refused") << 0;
        QTest::newRow("cable pulled") << 1;
        QTest::newRow("port closed") << 2;
    }
    void failedWriteStopsTheRun() {
        QFETCH(int, how);
        if (how == 0)
            dev->setFailWrites(true);
        else if (how == 1)
            dev->unplug();
        else
            inside(f()).MSComm1->close();
        inside(f()).st.PendingCommand = QStringLiteral("@RA");
        inside(f()).radio->SendModuleCommand();
        QCOMPARE(inside(f()).ui.ComMessage->text(), QStringLiteral("Comポート異常検出"));
        QCOMPARE(inside(f()).st.RunState, 1);
        QCOMPARE(inside(f()).ui.TestStartSW_0->text(), RunControl::kContinuousStopping);
        QVERIFY(!inside(f()).MSComm1->isOpen());
        QVERIFY(inside(f()).Timer1->isEnabled());
    }

    void rendersBytesAndDumpsHex_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hex");
        QTest::newRow("mode answer") << QByteArray("*MO=01\r\n") << QStringLiteral("*MO=01[Cr][Lf]")
                                     << QStringLiteral("2A 4D 4F 3D 30 31 0D 0A ");
        QTest::newRow("NUL") << QByteArray(1, '\0') << QStringLiteral("\uFF65") << QStringLiteral("00 ");
        QTest::newRow("FF") << QByteArray("\xFF") << QStringLiteral("\uFF65") << QStringLiteral("FF ");
    }
    void rendersBytesAndDumpsHex() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QString, hex);
        inside(f()).ui.RxText->setPlainText(QStringLiteral("old"));
        inside(f()).ui.RxData->setText(QStringLiteral("41 "));
        dev->send(bytes);
        QCOMPARE(inside(f()).ui.RxText->toPlainText(), QStringLiteral("old") + text);
        QCOMPARE(inside(f()).ui.RxData->text(), QStringLiteral("41 ") + hex);
    }

    void hexWindowKeepsTheNewest80Bytes() {
        QByteArray bytes;
        for (int i = 0; i < 100; ++i)
            bytes.append(char(i));
        dev->send(bytes.left(37));
        dev->send(bytes.mid(37));
        const QString data = inside(f()).ui.RxData->text();
        QCOMPARE(data.size(), RadioChannel::kRxDataKeep);
        QVERIFY(data.startsWith(QStringLiteral("14 15 ")));   // byte 20 first
        QVERIFY(data.endsWith(QStringLiteral("62 63 ")));
        QCOMPARE(inside(f()).ui.RxText->toPlainText().size(), 100 - 2 + 4 + 4);  // every byte shown
    }

    // One stream fed to the receive buffer in pieces, each at its own
    // instant: whatever the cut, the boxes show what the buffer holds (the
    // whole text, the newest 80 bytes' dump), the answer is recognised at
    // the instant of the piece that completed it and keeps its level bytes
    // after later noise pushed it out of the dump, and every byte still in
    // the dump is dated by the piece that brought it. A box changed by
    // hand is taken up as it stands; its typed bytes have no instant.
    void bufferFedInPiecesAtTheirInstants_data() {
        QTest::addColumn<QList<int>>("cuts");
        QTest::newRow("answer, then the rest") << QList<int>{33};
        QTest::newRow("pattern split, level bytes apart") << QList<int>{24, 29, 30, 31, 60};
        QList<int> each;
        for (int i = 1; i < 115; ++i)
            each << i;
        QTest::newRow("a byte an event") << each;
    }
    void bufferFedInPiecesAtTheirInstants() {
        QFETCH(QList<int>, cuts);
        const QByteArray lead("\x01noise!*DR=05000\xFF\xB0\r\n", 20);   // an older answer in the noise
        const QByteArray stream = lead + kAnswer001 + QByteArray("*RS=-75dBm\r\n") + QByteArray(70, '\x7F');
        QCOMPARE(stream.size(), 115);
        const RxBuffer& rx = inside(f()).radio->received();
        awaitAnswer();
        cuts << int(stream.size());
        QList<qint64> byteUs(stream.size());
        int from = 0;
        for (int i = 0; i < cuts.size(); ++i) {
            const int to = cuts[i];
            h->clock.after(10 * (i + 1), [&, from, to] {
                for (int b = from; b < to; ++b)
                    byteUs[b] = h->clock.microseconds();
                dev->send(stream.mid(from, to - from));
            });
            from = to;
        }
        h->advance(10 * cuts.size() + 10);

        QCOMPARE(rx.text(), cmdset::readableText(stream));
        QCOMPARE(inside(f()).ui.RxText->toPlainText(), rx.text());
        QCOMPARE(rx.dump(), hexDump(stream.right(80)));
        QCOMPARE(inside(f()).ui.RxData->text(), rx.dump());
        QVERIFY(!rx.dump().contains(kChk001));
        QVERIFY(rx.answer().recognised());
        QCOMPARE(rx.answer().instantUs(), std::optional<qint64>(byteUs[lead.size() + 8]));
        QCOMPARE(rx.answer().farRssi(), std::optional<int>(-75));
        QCOMPARE(inside(f()).st.ResponseTimeUs, std::optional<qint64>(byteUs[lead.size() + 8]));
        for (int k = 0; k < 80; ++k)
            QCOMPARE(rx.arrivalOf(3 * k + 1), std::optional<qint64>(byteUs[35 + k]));
        QCOMPARE(rx.arrivalOf(240), std::nullopt);

        inside(f()).ui.RxData->setText(QStringLiteral("41 "));
        inside(f()).ui.RxText->setPlainText(QStringLiteral("typed"));
        QCOMPARE(rx.dump(), QStringLiteral("41 "));
        QCOMPARE(rx.text(), QStringLiteral("typed"));
        h->clock.after(5, [&] { dev->send("B"); });
        h->advance(10);
        QCOMPARE(rx.dump(), QStringLiteral("41 42 "));
        QCOMPARE(inside(f()).ui.RxData->text(), QStringLiteral("41 42 "));
        QCOMPARE(rx.text(), QStringLiteral("typedB"));
        QCOMPARE(inside(f()).ui.RxText->toPlainText(), QStringLiteral("typedB"));
        QCOMPARE(rx.arrivalOf(0), std::nullopt);
        QCOMPARE(rx.arrivalOf(3), std::optional<qint64>(h->clock.microseconds() - 5000));

        inside(f()).radio->received().beginPeriod();
        QCOMPARE(inside(f()).ui.RxText->toPlainText(), QString());
        QCOMPARE(inside(f()).ui.RxData->text(), QString());
        QVERIFY(!rx.answer().recognised());
        QCOMPARE(rx.arrivalOf(0), std::nullopt);
    }

    void answerCutAtEveryPosition() {
        // Garbage, the answer, garbage; cut once at every position. The
        // answer is recognised in the event that completes its pattern.
        const QByteArray lead("\x01xx*DR=0500" "0\r\n", 14);   // an older answer and noise
        const QByteArray stream = lead + kAnswer001 + QByteArray("\x00*RS", 4);
        const int complete = lead.size() + 9;                   // bytes up to the pattern's end
        for (int cut = 0; cut <= stream.size(); ++cut) {
            init();
            awaitAnswer();
            h->clock.after(10, [&] { dev->send(stream.left(cut)); });
            h->clock.after(47, [&] { dev->send(stream.mid(cut)); });
            h->advance(60);
            const QString expected = cut >= complete ? QStringLiteral(" 10") : QStringLiteral(" 47");
            QVERIFY2(inside(f()).st.ResponseTime == expected, qPrintable(QString::number(cut)));
            QCOMPARE(inside(f()).st.AwaitingResponse, 0);
            QCOMPARE(rsCount(), 1);
            QCOMPARE(dev->writes().last().bytes, kRsLine);
            cleanup();
        }
    }

    void oneBytePerEvent() {
        const QByteArray stream = QByteArray("noise\r\n") + kAnswer001 + QByteArray("*RS=-75dBm\r\n");
        awaitAnswer();
        for (int i = 0; i < stream.size(); ++i)
            h->clock.after(i + 1, [this, b = stream.mid(i, 1)] { dev->send(b); });
        h->advance(stream.size() + 5);
        // The 7 bytes of noise, then the 9 pattern bytes: complete at byte 16.
        QCOMPARE(inside(f()).st.ResponseTime, QStringLiteral(" 16"));
        QCOMPARE(rsCount(), 1);
        QCOMPARE(inside(f()).radio->responseTimeHistory(), QStringLiteral(" 16\r\n"));
        QCOMPARE(inside(f()).ui.RxTimeHist->toPlainText(), QStringLiteral(" 16\n"));
        QCOMPARE(inside(f()).ui.RxTimeHist->textCursor().position(), inside(f()).ui.RxTimeHist->document()->characterCount() - 1);
    }

    void answerLateInTheWindow() {
        // After 100 bytes of garbage the answer is still found; the answer
        // followed in the same event by enough bytes to push its pattern
        // out of the 240-character window is not.
        awaitAnswer();
        dev->send(QByteArray(100, 'g'));
        QCOMPARE(inside(f()).st.AwaitingResponse, 1);
        h->clock.after(5, [&] { dev->send(kAnswer001.left(9) + QByteArray(71, 'g')); });
        h->advance(5);
        QCOMPARE(inside(f()).st.ResponseTime, QStringLiteral(" 5"));
        QCOMPARE(rsCount(), 1);

        init();
        awaitAnswer();
        dev->send(kAnswer001.left(9) + QByteArray(72, 'g'));
        QCOMPARE(inside(f()).st.AwaitingResponse, 1);
        QCOMPARE(rsCount(), 0);
    }

    void nothingWhileNotAwaiting() {
        awaitAnswer();
        inside(f()).st.AwaitingResponse = 0;
        dev->send(kAnswer001);
        QCOMPARE(inside(f()).st.ResponseTime, QString());
        QCOMPARE(rsCount(), 0);
        QVERIFY(inside(f()).radio->responseTimeHistory().isEmpty());
        QVERIFY(inside(f()).ui.RxData->text().contains(kChk001));
    }

    void answeredOnlyOnce() {
        awaitAnswer();
        dev->send(kAnswer001);
        dev->send(kAnswer001);   // the same answer again, still in the window
        QCOMPARE(rsCount(), 1);
        QCOMPARE(inside(f()).radio->responseTimeHistory(), QStringLiteral(" 0\r\n"));
    }

    void otherSequenceDoesNotCount() {
        awaitAnswer(QStringLiteral("2A 44 52 3D 30 35 30 30 32 "));
        dev->send(kAnswer001);
        QCOMPARE(inside(f()).st.AwaitingResponse, 1);
        QCOMPARE(rsCount(), 0);
    }

    void responseTimeAcrossTheCounterWrap_data() {
        QTest::addColumn<qint64>("start");
        QTest::newRow("2^31") << (qint64(1) << 31) - 20;
        QTest::newRow("2^32") << (qint64(1) << 32) - 20;
    }
    void responseTimeAcrossTheCounterWrap() {
        QFETCH(qint64, start);
        cleanup();
        h = std::make_unique<WindowHarness>();
        dev = h->ports.addDevice(QStringLiteral("COM3"));
        h->clock.advanceTo(start);
        h->start();
        openPort();
        awaitAnswer();
        h->clock.after(47, [&] { dev->send(kAnswer001); });
        h->advance(50);
        QCOMPARE(inside(f()).st.ResponseTime, QStringLiteral(" 47"));
    }

    void timeHistoryKeepsTheLast500Characters() {
        for (int i = 0; i < 120; ++i) {
            awaitAnswer();
            h->clock.after(100 + i, [&] { dev->send(kAnswer001); });
            h->advance(100 + i);
            inside(f()).ui.RxData->clear();
        }
        const QString hist = inside(f()).radio->responseTimeHistory();
        QCOMPARE(hist.size(), RadioChannel::kTimeHistoryKeep);
        QVERIFY(hist.endsWith(QStringLiteral(" 219\r\n")));
        QCOMPARE(rsCount(), 120);
        // The box shows the same lines, the caret at the end.
        QCOMPARE(inside(f()).ui.RxTimeHist->toPlainText(), QString(hist).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QCOMPARE(inside(f()).ui.RxTimeHist->textCursor().position(), inside(f()).ui.RxTimeHist->document()->characterCount() - 1);
    }

    void rsFailureStopsTheRun() {
        awaitAnswer();
        dev->setFailWrites(true);
        dev->send(kAnswer001);
        QCOMPARE(inside(f()).st.AwaitingResponse, 0);
        QCOMPARE(inside(f()).ui.ComMessage->text(), QStringLiteral("Comポート異常検出"));
        QCOMPARE(inside(f()).st.RunState, 1);
        QVERIFY(!inside(f()).MSComm1->isOpen());
    }
};

QTEST_MAIN(RadioChannelTest)
#include "radio_channel_test.moc"
