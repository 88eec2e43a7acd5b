#include "analysis/RunReport.h"

#include "records/Signals.h"

#include <QStringList>

namespace analysis {

namespace {

const QString kNone = QStringLiteral("-");

// Terminal columns of a text: East Asian wide characters take two.
int columns(const QString& s) {
    int n = 0;
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        const bool halfKana = u >= 0xFF61 && u <= 0xFF9F;
        n += (u >= 0x1100 && !halfKana && !(u >= 0x2010 && u <= 0x2027)) ? 2 : 1;
    }
    return n;
}

QString left(const QString& s, int width) {
    return s + QString(std::max(0, width - columns(s)), QLatin1Char(' '));
}

QString right(const QString& s, int width) {
    return QString(std::max(0, width - columns(s)), QLatin1Char(' ')) + s;
}

QString fixed(std::optional<double> v, int decimals, double scale = 1) {
    return v ? QString::number(*v * scale, 'f', decimals) : kNone;
}

QString whole(std::optional<std::int64_t> v, double scale, int decimals) {
    return v ? QString::number(double(*v) * scale, 'f', decimals) : kNone;
}

QString when(const QDateTime& t) {
    if (!t.isValid())
        return kNone;
    const int offset = t.offsetFromUtc();
    const int m = std::abs(offset) / 60;
    return t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss ")) + QLatin1Char(offset < 0 ? '-' : '+') +
           QStringLiteral("%1:%2").arg(m / 60, 2, 10, QLatin1Char('0')).arg(m % 60, 2, 10, QLatin1Char('0'));
}

QString causeText(records::EndCause c) {
    switch (c) {
    case records::EndCause::Completed: return QStringLiteral("規定回数完了");
    case records::EndCause::Operator: return QStringLiteral("停止操作");
    case records::EndCause::WriteFailed: return QStringLiteral("送信異常");
    case records::EndCause::InitFailed: return QStringLiteral("初期化失敗");
    case records::EndCause::Closed: return QStringLiteral("画面終了");
    }
    return kNone;
}

QString percent(std::optional<double> v) {
    return v ? QString::number(*v * 100, 'f', 2) + QStringLiteral(" %") : kNone;
}

constexpr int kLabel = 18;
constexpr int kColumn = 10;

QString row(const QString& label, const QStringList& cells) {
    QString out = left(label, kLabel);
    for (const QString& c : cells)
        out += right(c, kColumn);
    return out + QLatin1Char('\n');
}

// A level's row label: its caption and unit.
QString levelLabel(const records::Signal& s) {
    return QString::fromUtf8(s.caption) + QLatin1Char(' ') + QLatin1String(s.unit);
}

QString spreadRow(const QString& label, const Spread& s) {
    return row(label, {QString::number(s.count()), fixed(s.mean(), 1), fixed(s.min(), 0), fixed(s.max(), 0),
                       fixed(s.stddev(), 1)});
}

QString line(const QString& label, const QString& value) {
    QString out = left(label, kLabel) + value;
    while (out.endsWith(QLatin1Char(' ')))
        out.chop(1);
    return out + QLatin1Char('\n');
}

QString estimate(const std::optional<Estimate>& e, int decimals) {
    if (!e)
        return kNone;
    return QStringLiteral("%1 (%2 .. %3)")
        .arg(QString::number(e->value, 'f', decimals), QString::number(e->low, 'f', decimals),
             QString::number(e->high, 'f', decimals));
}

QString lostLevelNote(LostLevel l) {
    switch (l) {
    case LostLevel::PathLoss: return QStringLiteral("損失パケットのレベル: 距離と伝搬損失則から推定");
    case LostLevel::Neighbours: return QStringLiteral("損失パケットのレベル: 前後 5 秒の応答の中央値");
    case LostLevel::None: break;
    }
    return QString();
}

// Sensitivity, path loss and reach of the far-end and answer RSSI.
QString levelsPart(const records::RunStart& start, const LevelSeries& levels) {
    const double fallback = defaultThresholdDbm(start.mode == records::Mode::LoRa);
    const LevelAnalysis far = analyseLevels(levels.far, fallback);
    const LevelAnalysis ack = analyseLevels(levels.ack, fallback);
    const LevelAnalysis margin = analyseLevels(levels.margin, fallback);
    QString out = QStringLiteral("\n感度 (95 % 区間)      成功率 50 %              成功率 90 %\n");
    const auto sens = [&](const QString& label, const LevelAnalysis& a) {
        out += left(label, kLabel) + left(estimate(a.sensitivity.p50, 1), 26) + estimate(a.sensitivity.p90, 1);
        out += QLatin1Char('\n');
    };
    sens(levelLabel(records::signal(records::Level::FarRssi)), far);
    sens(levelLabel(records::signal(records::Level::AckRssi)), ack);
    sens(levelLabel(records::signal(records::Level::Margin)), margin);
    if (const QString note = lostLevelNote(far.sensitivity.lostLevel); !note.isEmpty())
        out += QStringLiteral("  (%1)\n").arg(note);
    const auto reach = [&](const QString& label, const LevelAnalysis& a) {
        if (!a.reach)
            return;
        const Reach& r = *a.reach;
        out += line(label, QStringLiteral("n %1 (標準誤差 %2)  A %3 dBm @1 m  シャドウイング %4 dB  %5 .. %6 m")
                               .arg(QString::number(r.fit.exponent, 'f', 2), fixed(r.nSe, 2),
                                    QString::number(r.fit.referenceDbm, 'f', 1), estimate(r.sigma, 1),
                                    QString::number(r.fit.nearestM, 'f', 0), QString::number(r.fit.farthestM, 'f', 0)));
        QString text = estimate(r.reachM, 0) + QStringLiteral(" m  しきい値 ") + fixed(r.thresholdDbm, 1) +
                       (r.thresholdMeasured ? QStringLiteral(" dBm (90 % 感度)") : QStringLiteral(" dBm (既定値)"));
        if (r.reachOutsideRange)
            text += QStringLiteral("  ※測定距離の範囲外");
        out += line(QStringLiteral("  到達距離"), text);
    };
    out += QLatin1Char('\n');
    reach(QStringLiteral("伝搬損失 相手受信"), far);
    reach(QStringLiteral("伝搬損失 自局受信"), ack);
    return out;
}

}  // namespace

QString runReport(const records::RunStart& start, const records::RunEnd& end, const Figures& f,
                  const QList<records::Marker>& markers, const LevelSeries* levels) {
    QString out = QStringLiteral("qvx-loopback %1  リンク試験結果\n\n").arg(start.version);
    out += line(QStringLiteral("開始"), when(start.started));
    QString cause = causeText(end.cause);
    if (!end.message.isEmpty())
        cause += QStringLiteral(" (%1)").arg(end.message);
    out += line(QStringLiteral("終了"), when(end.ended) + QStringLiteral("  ") + cause);
    out += line(QStringLiteral("ポート"), start.port);
    QString mode = start.mode == records::Mode::LoRa ? QStringLiteral("LoRa  拡散 %1").arg(start.spreading)
                                                     : QStringLiteral("FSK");
    out += line(QStringLiteral("方式"), mode);
    out += line(QStringLiteral("送信周期"), QString::number(start.periodMs, 'f', 0) + QStringLiteral(" ms"));
    out += line(QStringLiteral("運転"), start.kind == records::RunKind::Counted
                                           ? QStringLiteral("回数指定 %1 パケット").arg(start.length)
                                           : QStringLiteral("連続"));
    if (!start.commLog.isEmpty())
        out += line(QStringLiteral("通信ログ"), start.commLog);

    out += QLatin1Char('\n');
    out += row(QString(), {QStringLiteral("送信"), QStringLiteral("評価"), QStringLiteral("応答"),
                           QStringLiteral("損失"), QStringLiteral("遅延応答")});
    out += row(QStringLiteral("パケット"), {QString::number(end.sent), QString::number(f.evaluated),
                                            QString::number(f.answered), QString::number(f.lost),
                                            QString::number(f.late)});
    out += QLatin1Char('\n');
    QString per = percent(f.per);
    if (f.perInterval)
        per += QStringLiteral("  (95 % 区間 %1 - %2)")
                   .arg(percent(f.perInterval->low), percent(f.perInterval->high));
    out += line(QStringLiteral("パケット誤り率"), per);
    out += line(QStringLiteral("直近 %1 の誤り率").arg(f.rollingWindow), percent(f.rollingPer));
    out += line(QStringLiteral("最長途絶"), QStringLiteral("%1 パケット  %2 s")
                                                .arg(f.longestOutage)
                                                .arg(QString::number(double(f.longestOutageUs) / 1e6, 'f', 3)));
    out += line(QStringLiteral("応答数/分"), fixed(f.answeredPerMinute, 1));

    out += QLatin1Char('\n');
    const RttFigures& r = f.rtt;
    out += row(QStringLiteral("往復時間 ms"), {QStringLiteral("最小"), QStringLiteral("平均"), QStringLiteral("最大"),
                                              QStringLiteral("mdev"), QStringLiteral("p50"), QStringLiteral("p95"),
                                              QStringLiteral("p99")});
    out += row(r.percentilesExact ? QString() : QStringLiteral("(p は概算 ±0.5 %)"),
               {whole(r.minUs, 1e-3, 3), fixed(r.meanUs, 3, 1e-3), whole(r.maxUs, 1e-3, 3), fixed(r.mdevUs, 3, 1e-3),
                whole(r.p50Us, 1e-3, 3), whole(r.p95Us, 1e-3, 3), whole(r.p99Us, 1e-3, 3)});

    out += QLatin1Char('\n');
    out += row(QString(), {QStringLiteral("数"), QStringLiteral("平均"), QStringLiteral("最小"), QStringLiteral("最大"),
                           QStringLiteral("標準偏差")});
    for (const records::Signal& level : records::kSignals)
        out += spreadRow(levelLabel(level), f.levels[level]);

    if (levels)
        out += levelsPart(start, *levels);

    if (!markers.isEmpty()) {
        out += QStringLiteral("\nマーカー\n");
        for (const records::Marker& m : markers) {
            QString text = QStringLiteral("  %1  %2  パケット %3 の後  %4")
                               .arg(m.number, 3)
                               .arg(m.time.isValid() ? m.time.toString(QStringLiteral("HH:mm:ss")) : kNone)
                               .arg(m.afterPacket)
                               .arg(m.note.simplified());
            out += text.trimmed().prepend(QStringLiteral("  ")) + QLatin1Char('\n');
        }
    }
    return out;
}

}  // namespace analysis
