// The record stream of a counted run on the real stack: the module
// simulator and a GPS walk on pseudo-terminals, the window with the system
// clock and QSerialPort. The .jsonl beside the log holds one valid record per
// exchange that agrees with the code page 932 log line by line, and the run
// report's counts are the window's counters.
#include "E2eStack.h"
#include "analysis/RunRecorder.h"
#include "looptest/RunControl.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

using namespace e2e;

namespace {

// A JSON field as the log writes it: a number as its digits, null as
// nothing.
QString asLogged(const QJsonValue& v) { return v.isNull() ? QString() : QString::number(v.toInt()); }

} // namespace

class AnalysisE2eTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        if (const QString missing = missingTool({QStringLiteral("qvx-sim"), QStringLiteral("qvx-nmea")}); !missing.isEmpty())
            QSKIP(qPrintable(missing));
    }

    void streamMatchesLogAndCounters() {
        Simulator sim({QStringLiteral("--far-rssi"), QStringLiteral("-70,-74,-79,-83"), QStringLiteral("--ack-rssi"),
                       QStringLiteral("-60,-66,-71"), QStringLiteral("--noise"), QStringLiteral("-110,-113"),
                       QStringLiteral("--loss-pattern"), QStringLiteral("...x..x...x.")});
        GpsWalk gps;
        QVERIFY2(!sim.path().isEmpty() && !gps.path().isEmpty(), qPrintable(sim.errors() + gps.errors()));
        RealStack app;
        Form1& f = *app.form;
        QVERIFY(showsGpsWalk(f, gps.path()));

        QString commLog;
        bool ended = false;
        QObject::connect(inside(f).run.get(), &RunControl::runStarted, &f, [&](const records::RunStart& r) { commLog = r.commLog; });
        QObject::connect(inside(f).run.get(), &RunControl::runEnded, &f, [&] { ended = true; });
        inside(f).ui.Com_Port->setText(sim.path());
        inside(f).ui.LogFile_Flg->setChecked(true);
        inside(f).ui.LogFileName->setText(QStringLiteral("rec"));
        inside(f).ui.Tx_CnEnd->setText(QStringLiteral("14"));
        inside(f).ui.TestStartSW_1->click();
        QTRY_VERIFY_WITH_TIMEOUT(ended, kTimeoutMs);
        QCOMPARE(inside(f).ui.Tx_Count->text(), QStringLiteral("14"));

        // The log's packet lines: time, commands, received, response time,
        // far RSSI, answer RSSI, noise, GGA sentence.
        QList<QStringList> logged;
        for (const QString& line : commLogRecords(fileBytes(commLog))) {
            if (QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d,")).match(line).hasMatch())
                logged << line.split(u',');
        }
        QCOMPARE(logged.size(), 14);

        const QString streamPath = inside(f).recorder->streamPath();
        QCOMPARE(QFileInfo(streamPath).fileName(), QFileInfo(commLog).completeBaseName() + QStringLiteral(".jsonl"));
        QList<QJsonObject> exchanges;
        QJsonObject end;
        for (const QByteArray& line : fileBytes(streamPath).split('\n')) {
            if (line.isEmpty())
                continue;
            QJsonParseError error;
            const QJsonObject o = QJsonDocument::fromJson(line, &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, line.constData());
            QVERIFY2(o.contains(QLatin1String("schema")), line.constData());
            const QString type = o.value(QLatin1String("type")).toString();
            if (type == QLatin1String("exchange"))
                exchanges << o;
            else if (type == QLatin1String("end"))
                end = o;
        }
        QCOMPARE(exchanges.size(), logged.size());
        int answered = 0;
        for (int i = 0; i < logged.size(); ++i) {
            const QJsonObject& e = exchanges[i];
            const QStringList& l = logged[i];
            const QByteArray at = "packet " + QByteArray::number(i + 1);
            QVERIFY2(l.size() >= 7, at.constData());
            QCOMPARE(e.value(QLatin1String("packet")).toInt(), i + 1);
            QVERIFY2(l[1].contains(QStringLiteral("@DT05") + e.value(QLatin1String("payload")).toString()), at.constData());
            QCOMPARE(e.value(QLatin1String("time")).toString().mid(11, 8), l[0]);
            const bool ok = !l[3].isEmpty();
            answered += ok ? 1 : 0;
            QCOMPARE(e.value(QLatin1String("outcome")).toString(), ok ? QStringLiteral("answered") : QStringLiteral("lost"));
            QCOMPARE(e.value(QLatin1String("rtt_us")).isNull(), !ok);
            QCOMPARE(asLogged(e.value(QLatin1String("far_rssi"))), l[4]);
            QCOMPARE(asLogged(e.value(QLatin1String("ack_rssi"))), l[5]);
            QCOMPARE(asLogged(e.value(QLatin1String("noise"))), l[6]);
            QVERIFY2(std::abs(e.value(QLatin1String("lat")).toDouble() - 35.0) < 0.01, at.constData());
            QVERIFY2(e.value(QLatin1String("dist_m")).isNull(), at.constData());   // no datum point
        }
        QCOMPARE(QString::number(answered), inside(f).ui.FSK_OK->text());

        // The run report's packet row: sent, evaluated, answered, lost, late.
        const QString summary = QString::fromUtf8(fileBytes(inside(f).recorder->summaryPath()));
        const QRegularExpressionMatch row =
            QRegularExpression(QStringLiteral("\nパケット +(\\d+) +(\\d+) +(\\d+) +(\\d+) +(\\d+)\n")).match(summary);
        QVERIFY2(row.hasMatch(), qPrintable(summary));
        QCOMPARE(row.captured(1), inside(f).ui.Tx_Count->text());
        QCOMPARE(row.captured(2), inside(f).ui.Tx_Count->text());
        QCOMPARE(row.captured(3), inside(f).ui.FSK_OK->text());
        QCOMPARE(row.captured(4), inside(f).ui.FSK_Err->text());
        const QJsonObject stats = end.value(QLatin1String("stats")).toObject();
        QCOMPARE(QString::number(stats.value(QLatin1String("answered")).toInt()), inside(f).ui.FSK_OK->text());
        QCOMPARE(QString::number(stats.value(QLatin1String("lost")).toInt()), inside(f).ui.FSK_Err->text());
    }
};

QTEST_MAIN(AnalysisE2eTest)
#include "analysis_e2e_test.moc"
