// The run records as the window emits them, against the simulated module on
// the virtual clock: a counted run of 5 in which packet 2 is lost and the
// answer of packet 4 is held past its period. Every record is checked
// against what the window and the communication log show, the round trips
// against the loop delays applied in virtual time, and the analysis window
// and the record stream against the same run.
#include "SimOnDevice.h"
#include "WindowHarness.h"
#include "analysis/AnalysisWindow.h"
#include "analysis/RunRecorder.h"
#include "common/NumberText.h"
#include "common/TextFile.h"
#include "looptest/RunControl.h"
#include "looptest/TestCycle.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QtTest>

namespace {

constexpr int kLoopMs = 37;
constexpr int kHeldMs = 450;   // beyond the 300 ms period: arrives in the next one
constexpr qint64 kPeriodUs = 300'000;

// The data lines of a communication log: time, commands, received text,
// response time, far RSSI, answer RSSI, noise (the GGA field follows).
QList<QStringList> logLines(const QString& path) {
    QString text;
    if (!textfile::read(path, &text))
        return {};
    QList<QStringList> out;
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        if (line.size() > 8 && line.at(2) == u':' && line.at(8) == u',')
            out << line.split(u',').mid(0, 7);
    }
    return out;
}

std::optional<int> number(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    return text.toInt();
}

QList<QJsonObject> stream(const QString& path) {
    QFile f(path);
    QList<QJsonObject> out;
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (!line.isEmpty())
            out << QJsonDocument::fromJson(line).object();
    }
    return out;
}

} // namespace

class AnalysisRecordsTest : public QObject {
    Q_OBJECT
private slots:
    void countedRunWithLossAndLateAnswer();
};

void AnalysisRecordsTest::countedRunWithLossAndLateAnswer() {
    WindowHarness h;
    SimConfig cfg;
    cfg.loopDelayMs = kLoopMs;
    cfg.lossPattern = "-x---";
    cfg.farRssi = RssiSpec::sequence({-70, -71, -72, -73});
    cfg.ackRssi = RssiSpec::sequence({-60, -61, -62, -63});
    cfg.noiseRssi = RssiSpec::sequence({-110, -111, -112, -113, -114, -115, -116});
    SimOnDevice sim(h.ports.addDevice(QStringLiteral("COM3")), h.clock, cfg);
    Form1& f = h.start();
    inside(f).ui.Com_Port->setText(QStringLiteral("COM3"));
    inside(f).ui.LogFile_Flg->setChecked(true);
    inside(f).ui.LogFileName->setText(QStringLiteral("rec"));
    inside(f).ui.Tx_CnEnd->setText(QStringLiteral("5"));

    QList<records::RunStart> starts;
    QList<records::Exchange> ex;
    QList<records::LateAnswer> late;
    QList<records::RunEnd> ends;
    QObject::connect(inside(f).run.get(), &RunControl::runStarted, &f, [&](const records::RunStart& r) { starts << r; });
    QObject::connect(inside(f).cycle.get(), &TestCycle::exchangeEvaluated, &f, [&](const records::Exchange& e) { ex << e; });
    QObject::connect(inside(f).cycle.get(), &TestCycle::lateAnswer, &f, [&](const records::LateAnswer& l) { late << l; });
    QObject::connect(inside(f).run.get(), &RunControl::runEnded, &f, [&](const records::RunEnd& r) { ends << r; });

    inside(f).ui.AnalysisButton->click();
    QVERIFY(inside(f).analysisWindow->isVisible());
    QCOMPARE(inside(f).ui.AnalysisButton->accessibleName(), QStringLiteral("AnalysisButton"));

    inside(f).TestStartSW[1]->click();
    while (sim.dataCommands() < 3)
        h.advance(1);
    sim.config().loopDelayMs = kHeldMs;   // packet 4's answer comes during packet 5's period
    while (sim.dataCommands() < 4)
        h.advance(1);
    sim.config().loopDelayMs = kLoopMs;
    h.advance(2000);

    // The run as the window shows it.
    QCOMPARE(inside(f).ui.Tx_Count->text(), QStringLiteral("5"));
    QCOMPARE(inside(f).ui.FSK_OK->text(), QStringLiteral("3"));
    QCOMPARE(inside(f).ui.FSK_Err->text(), QStringLiteral("2"));
    QCOMPARE(inside(f).ui.RxTimeHist->toPlainText(), QStringLiteral(" 37\n 37\n 37\n"));

    QCOMPARE(starts.size(), 1);
    const records::RunStart& start = starts.first();
    QCOMPARE(start.kind, records::RunKind::Counted);
    QCOMPARE(start.length, 5);
    QCOMPARE(start.periodMs, 300.0);
    QCOMPARE(start.mode, records::Mode::Fsk);
    QCOMPARE(start.version, QStringLiteral("0.900.5"));
    QCOMPARE(ends.size(), 1);
    QCOMPARE(ends.first().cause, records::EndCause::Completed);
    QCOMPARE(ends.first().sent, 5);

    // Each exchange record against its log line.
    const QList<QStringList> lines = logLines(start.commLog);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(ex.size(), 5);
    const QList<records::Outcome> outcomes{records::Outcome::Answered, records::Outcome::Lost,
                                           records::Outcome::Answered, records::Outcome::Lost,
                                           records::Outcome::Answered};
    for (int i = 0; i < 5; ++i) {
        const records::Exchange& e = ex[i];
        const QStringList& l = lines[i];
        const QString at = QStringLiteral("packet %1").arg(i + 1);
        QVERIFY2(l.size() == 7, qPrintable(at));
        QCOMPARE(e.runId, start.runId);
        QCOMPARE(e.packet, i + 1);
        QCOMPARE(e.payload, QStringLiteral("00%1").arg(i + 1));
        QVERIFY2(l[1].contains(QStringLiteral("@DT05") + e.payload), qPrintable(at));
        QCOMPARE(e.sent.toString(QStringLiteral("HH:mm:ss")), l[0]);
        QCOMPARE(e.outcome, outcomes[i]);
        QCOMPARE(e.outcome == records::Outcome::Answered, !l[3].isEmpty());
        QCOMPARE(e.farRssi, number(l[4]));
        QCOMPARE(e.ackRssi, number(l[5]));
        QCOMPARE(e.noise, number(l[6]));
        QVERIFY2(e.noise.has_value(), qPrintable(at));
        QCOMPARE(e.mode, records::Mode::Fsk);
        QCOMPARE(e.periodMs, 300.0);
        QVERIFY(!e.position);   // GPS not in use
        if (i > 0)
            QCOMPARE(e.sentUs - ex[i - 1].sentUs, kPeriodUs);
        if (e.outcome == records::Outcome::Answered) {
            QVERIFY2(e.rttUs && std::llabs(*e.rttUs - kLoopMs * 1000) <= 100, qPrintable(at));
            QCOMPARE(*e.answeredUs - e.sentUs, *e.rttUs);
            QCOMPARE(numtext::leadingNumber(l[3]) * 1000, double(*e.rttUs));
        } else {
            QVERIFY2(!e.rttUs && !e.answeredUs && !e.farRssi && !e.ackRssi, qPrintable(at));
        }
    }
    QCOMPARE(inside(f).ui.Rx_Rssi->text(), QString::number(*ex[4].farRssi));
    QCOMPARE(inside(f).ui.NoiseRssi->text(), QString::number(*ex[4].noise));

    // Packet 4's answer, found in packet 5's data.
    QCOMPARE(late.size(), 1);
    QCOMPARE(late.first().packet, 4);
    QCOMPARE(late.first().payload, QStringLiteral("004"));
    QVERIFY2(std::llabs(late.first().rttUs - kHeldMs * 1000) <= 100, qPrintable(QString::number(late.first().rttUs)));
    QCOMPARE(late.first().farRssi, std::optional<int>(-72));
    QVERIFY(lines[4][2].contains(QStringLiteral("*DR=05004")));

    // The analysis window's figures of the same run.
    const auto shown = [&](const char* name) {
        QLabel* l = inside(f).analysisWindow->figure(QLatin1String(name));
        return l ? l->text() : QString();
    };
    QCOMPARE(shown("Evaluated"), QStringLiteral("5"));
    QCOMPARE(shown("Answered"), inside(f).ui.FSK_OK->text());
    QCOMPARE(shown("Lost"), inside(f).ui.FSK_Err->text());
    QCOMPARE(shown("Late"), QStringLiteral("1"));
    QCOMPARE(shown("RttMin"), QStringLiteral("37.000 ms"));
    QCOMPARE(shown("RttMax"), QStringLiteral("37.000 ms"));

    // The record stream beside the log, in the order of events.
    const QList<QJsonObject> lines2 = stream(inside(f).recorder->streamPath());
    QStringList types;
    for (const QJsonObject& o : lines2)
        types << o.value(QLatin1String("type")).toString();
    QCOMPARE(types, (QStringList{"run", "exchange", "exchange", "exchange", "exchange", "late", "exchange", "end"}));
    QCOMPARE(lines2[5].value(QLatin1String("packet")).toInt(), 4);
    QCOMPARE(lines2[7].value(QLatin1String("stats")).toObject().value(QLatin1String("late")).toInt(), 1);
    QVERIFY(QFileInfo::exists(inside(f).recorder->summaryPath()));
}

QTEST_MAIN(AnalysisRecordsTest)
#include "analysis_records_test.moc"
