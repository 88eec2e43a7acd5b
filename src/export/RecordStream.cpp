#include "export/RecordStream.h"

#include "common/WholeFile.h"
#include "export/RecordFields.h"
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace recordstream {

namespace {

// A JSON object built field by field in the order written (QJsonObject
// would sort the keys).
class Line {
public:
    Line(const char* type) {
        out_ += '{';
        field("type", QString::fromLatin1(type));
        field("schema", kSchema);
    }
    Line& field(const char* name, const QString& v) {
        key(name);
        string(v);
        return *this;
    }
    Line& field(const char* name, std::int64_t v) {
        key(name);
        out_ += QByteArray::number(qlonglong(v));
        return *this;
    }
    Line& field(const char* name, int v) { return field(name, std::int64_t(v)); }
    Line& field(const char* name, std::uint64_t v) {
        key(name);
        out_ += QByteArray::number(qulonglong(v));
        return *this;
    }
    Line& field(const char* name, double v) {
        key(name);
        if (std::isfinite(v))
            out_ += QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
        else
            out_ += "null";
        return *this;
    }
    Line& field(const char* name, bool v) {
        key(name);
        out_ += v ? "true" : "false";
        return *this;
    }
    template <typename T>
    Line& field(const char* name, const std::optional<T>& v) {
        if (v)
            return field(name, *v);
        return null(name);
    }
    Line& null(const char* name) {
        key(name);
        out_ += "null";
        return *this;
    }
    Line& time(const char* name, const QDateTime& t) {
        return t.isValid() ? field(name, isoTime(t)) : null(name);
    }
    // Opens a nested object; close it with end().
    Line& object(const char* name) {
        key(name);
        out_ += '{';
        first_ = true;
        return *this;
    }
    Line& end() {
        out_ += '}';
        first_ = false;
        return *this;
    }
    QByteArray line() const { return out_ + "}\n"; }

private:
    void key(const char* name) {
        if (!first_)
            out_ += ',';
        first_ = false;
        out_ += '"';
        out_ += name;
        out_ += "\":";
    }
    void string(const QString& v) {
        out_ += '"';
        for (const char c : v.toUtf8()) {
            const auto u = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                out_ += '\\';
                out_ += c;
            } else if (c == '\n') {
                out_ += "\\n";
            } else if (c == '\r') {
                out_ += "\\r";
            } else if (c == '\t') {
                out_ += "\\t";
            } else if (u < 0x20 || u == 0x7F) {
                out_ += "\\u00";
                out_ += QByteArray::number(u, 16).rightJustified(2, '0');
            } else {
                out_ += c;
            }
        }
        out_ += '"';
    }

    QByteArray out_;
    bool first_ = true;
};

QString modeText(records::Mode m) {
    return m == records::Mode::LoRa ? QStringLiteral("LoRa") : QStringLiteral("FSK");
}

QString causeText(records::EndCause c) {
    switch (c) {
    case records::EndCause::Completed: return QStringLiteral("completed");
    case records::EndCause::Operator: return QStringLiteral("operator");
    case records::EndCause::WriteFailed: return QStringLiteral("write_failed");
    case records::EndCause::InitFailed: return QStringLiteral("init_failed");
    case records::EndCause::Closed: return QStringLiteral("closed");
    }
    return QStringLiteral("operator");
}

// Coordinates only from a usable position; the state of the GPS and the
// fix behind it whenever there is one.
void positionFields(Line& l, const records::Position* p) {
    if (p && p->usable())
        l.field("lat", p->lat).field("lon", p->lon).field("alt", p->alt);
    else
        l.null("lat").null("lon").null("alt");
}

void spread(Line& l, const char* mean, const char* min, const char* max, const char* sd, const analysis::Spread& s) {
    l.field(mean, s.mean()).field(min, s.min()).field(max, s.max()).field(sd, s.stddev());
}

}  // namespace

QString isoTime(const QDateTime& t) {
    if (!t.isValid())
        return {};
    const int offset = t.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return t.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + QLatin1Char(offset < 0 ? '-' : '+') +
           QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QByteArray runLine(const records::RunStart& r) {
    Line l("run");
    l.field("run", std::uint64_t(r.runId)).time("time", r.started).field("version", r.version).field("port", r.port);
    l.field("mode", modeText(r.mode)).field("spreading", r.spreading).field("period_ms", r.periodMs);
    l.field("kind", r.kind == records::RunKind::Counted ? QStringLiteral("counted") : QStringLiteral("continuous"));
    l.field("length", std::int64_t(r.length));
    l.field("comm_log", r.commLog).field("map_csv", r.mapCsv).field("map_log", r.mapLog);
    return l.line();
}

QByteArray exchangeLine(const records::Exchange& e) {
    Line l("exchange");
    l.field("run", std::uint64_t(e.runId)).field("packet", std::int64_t(e.packet)).field("payload", e.payload);
    l.time("time", e.sent);
    l.field("outcome", e.outcome == records::Outcome::Answered ? QStringLiteral("answered") : QStringLiteral("lost"));
    l.field("rtt_us", e.rttUs).field("far_rssi", e.farRssi).field("ack_rssi", e.ackRssi).field("noise", e.noise);
    // Coordinates only from a usable position (a fix and a good checksum);
    // the receiver's state (fix, satellites, HDOP) whenever GPS was read.
    const records::Position* p = e.position ? &*e.position : nullptr;
    const bool usable = p && p->usable();
    positionFields(l, p);
    if (p)
        l.field("fix", p->fix).field("sats", p->sats).field("hdop", p->hdop);
    else if (e.gps == records::GpsState::NoFix)  // in use, nothing to tell but that
        l.field("fix", 0).null("sats").null("hdop");
    else
        l.null("fix").null("sats").null("hdop");
    l.field("dist_m", usable ? p->distanceM : std::nullopt);
    l.field("sent_us", std::int64_t(e.sentUs)).field("answered_us", e.answeredUs);
    l.field("mode", modeText(e.mode)).field("spreading", e.spreading).field("period_ms", e.periodMs);
    if (p)
        l.field("checksum_ok", p->checksumOk);
    else
        l.null("checksum_ok");
    // Schema 2: the GPS state at the send, how the position was obtained,
    // the fix's age and time, the speed, and where a stale fix stood.
    l.field("gps", gpsStateText(e.gps));
    if (p) {
        l.field("pos_how", positionHowText(p->how)).field("fix_age_us", p->fixAgeUs);
        if (p->ggaUtc.isEmpty())
            l.null("gga_utc");
        else
            l.field("gga_utc", p->ggaUtc);
        l.field("speed_mps", p->speedMps);
    } else {
        l.null("pos_how").null("fix_age_us").null("gga_utc").null("speed_mps");
    }
    if (p && p->stale)
        l.field("stale_lat", p->lat).field("stale_lon", p->lon);
    else
        l.null("stale_lat").null("stale_lon");
    l.field("geoid_m", usable ? p->geoidM : std::nullopt);
    return l.line();
}

QByteArray lateLine(const records::LateAnswer& a) {
    Line l("late");
    l.field("run", std::uint64_t(a.runId)).field("packet", std::int64_t(a.packet)).field("payload", a.payload);
    l.field("rtt_us", std::int64_t(a.rttUs)).field("far_rssi", a.farRssi);
    return l.line();
}

QByteArray markerLine(const records::Marker& m) {
    Line l("marker");
    l.field("run", std::uint64_t(m.runId)).field("number", m.number).field("note", m.note).time("time", m.time);
    l.field("at_us", std::int64_t(m.atUs)).field("after_packet", std::int64_t(m.afterPacket));
    const records::Position* p = m.position ? &*m.position : nullptr;
    positionFields(l, p);
    l.field("gps", gpsStateText(m.gps));
    if (p)
        l.field("pos_how", positionHowText(p->how)).field("fix_age_us", p->fixAgeUs);
    else
        l.null("pos_how").null("fix_age_us");
    return l.line();
}

QByteArray alarmLine(std::uint64_t runId, const QString& alarm, bool raised, const QDateTime& time, std::int64_t atUs) {
    Line l("alarm");
    l.field("run", runId).field("alarm", alarm);
    l.field("state", raised ? QStringLiteral("raised") : QStringLiteral("cleared"));
    l.time("time", time).field("at_us", atUs);
    return l.line();
}

QString gpsStateText(records::GpsState s) {
    switch (s) {
    case records::GpsState::Off: return QStringLiteral("off");
    case records::GpsState::NoFix: return QStringLiteral("no_fix");
    case records::GpsState::Stale: return QStringLiteral("stale");
    case records::GpsState::Ok: return QStringLiteral("ok");
    }
    return QStringLiteral("off");
}

QString positionHowText(records::PositionHow h) {
    switch (h) {
    case records::PositionHow::Interpolated: return QStringLiteral("interpolated");
    case records::PositionHow::Extrapolated: return QStringLiteral("extrapolated");
    case records::PositionHow::Held: return QStringLiteral("held");
    }
    return QStringLiteral("held");
}

QByteArray endLine(const records::RunEnd& r, const analysis::Figures& s) {
    Line l("end");
    l.field("run", std::uint64_t(r.runId)).time("time", r.ended).field("cause", causeText(r.cause));
    l.field("message", r.message).field("sent", std::int64_t(r.sent));
    l.object("stats");
    l.field("sent", std::int64_t(r.sent)).field("evaluated", s.evaluated).field("answered", s.answered);
    l.field("lost", s.lost).field("late", s.late).field("per", s.per);
    l.field("per_low", s.perInterval ? std::optional<double>(s.perInterval->low) : std::nullopt);
    l.field("per_high", s.perInterval ? std::optional<double>(s.perInterval->high) : std::nullopt);
    l.field("rolling_per", s.rollingPer).field("rolling_n", s.rollingCount).field("rolling_window", s.rollingWindow);
    const analysis::RttFigures& t = s.rtt;
    l.field("rtt_min_us", t.minUs).field("rtt_mean_us", t.meanUs).field("rtt_max_us", t.maxUs);
    l.field("rtt_mdev_us", t.mdevUs).field("rtt_p50_us", t.p50Us).field("rtt_p95_us", t.p95Us);
    l.field("rtt_p99_us", t.p99Us).field("rtt_exact", t.percentilesExact);
    l.field("longest_outage", s.longestOutage).field("longest_outage_us", std::int64_t(s.longestOutageUs));
    spread(l, "far_rssi_mean", "far_rssi_min", "far_rssi_max", "far_rssi_sd", s.farRssi);
    spread(l, "ack_rssi_mean", "ack_rssi_min", "ack_rssi_max", "ack_rssi_sd", s.ackRssi);
    spread(l, "noise_mean", "noise_min", "noise_max", "noise_sd", s.noise);
    spread(l, "margin_mean", "margin_min", "margin_max", "margin_sd", s.margin);
    l.field("span_us", s.spanUs).field("answered_per_min", s.answeredPerMinute);
    l.end();
    return l.line();
}

bool RecordStreamWriter::append(const QByteArray& line) {
    error_.clear();
    if (path_ == QLatin1String("-")) {
        if (std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout) == std::size_t(line.size()) &&
            std::fflush(stdout) == 0)
            return true;
        error_ = QStringLiteral("cannot write to standard output");
        return false;
    }
    return wholefile::append(path_, line, &error_);
}

}  // namespace recordstream

// ---- reading back -------------------------------------------------------

namespace recordstream {

namespace {

records::Mode modeOf(const QString& s) { return s == QLatin1String("LoRa") ? records::Mode::LoRa : records::Mode::Fsk; }

// The receiver's state whenever GPS was read ("fix" not null); coordinates
// only from a usable position, which must then carry them in range.
records::GpsState gpsStateOf(const Fields& f, const std::optional<records::Position>& p) {
    const QString s = f.text("gps");
    if (s == QLatin1String("ok")) return records::GpsState::Ok;
    if (s == QLatin1String("no_fix")) return records::GpsState::NoFix;
    if (s == QLatin1String("stale")) return records::GpsState::Stale;
    if (s == QLatin1String("off")) return records::GpsState::Off;
    // Schema 1 tells the state by the fix alone.
    return p && p->usable() ? records::GpsState::Ok : p ? records::GpsState::NoFix : records::GpsState::Off;
}

// The position fields of an exchange or marker; a stale position keeps its
// coordinates apart (stale_lat, stale_lon) and is read back as stale.
std::optional<records::Position> positionOf(const Fields& f) {
    const auto fix = f.small("fix");
    const bool stale = f.text("gps") == QLatin1String("stale");
    if (!fix && !stale)
        return std::nullopt;
    records::Position p;
    p.fix = fix.value_or(0);
    p.sats = f.small("sats").value_or(0);
    p.hdop = f.number("hdop");
    p.checksumOk = f.flag("checksum_ok").value_or(true);
    const QString how = f.text("pos_how");
    p.how = how == QLatin1String("interpolated")   ? records::PositionHow::Interpolated
            : how == QLatin1String("extrapolated") ? records::PositionHow::Extrapolated
                                                   : records::PositionHow::Held;
    p.fixAgeUs = f.whole("fix_age_us");
    p.ggaUtc = f.text("gga_utc");
    p.speedMps = f.number("speed_mps");
    p.stale = stale;
    if (!p.usable() && !stale)
        return p;
    const auto lat = f.number(stale ? "stale_lat" : "lat"), lon = f.number(stale ? "stale_lon" : "lon");
    if (!lat || !lon || std::fabs(*lat) > 90 || std::fabs(*lon) > 180)
        return std::nullopt;
    p.lat = *lat;
    p.lon = *lon;
    p.alt = f.number("alt").value_or(0);
    p.distanceM = f.number("dist_m");
    p.geoidM = f.number("geoid_m");
    return p;
}

records::EndCause causeOf(const QString& s) {
    if (s == QLatin1String("completed")) return records::EndCause::Completed;
    if (s == QLatin1String("write_failed")) return records::EndCause::WriteFailed;
    if (s == QLatin1String("init_failed")) return records::EndCause::InitFailed;
    if (s == QLatin1String("closed")) return records::EndCause::Closed;
    return records::EndCause::Operator;
}

void decodeRun(const Fields& f, Decoded& d) {
    records::RunStart& r = d.run;
    r.runId = f.runId();
    r.started = f.time("time");
    r.version = f.text("version");
    r.port = f.text("port");
    r.mode = modeOf(f.text("mode"));
    r.spreading = f.small("spreading").value_or(0);
    r.periodMs = f.number("period_ms").value_or(0);
    r.kind = f.text("kind") == QLatin1String("counted") ? records::RunKind::Counted : records::RunKind::Continuous;
    r.length = f.whole("length").value_or(0);
    r.commLog = f.text("comm_log");
    r.mapCsv = f.text("map_csv");
    r.mapLog = f.text("map_log");
}

bool decodeExchange(const Fields& f, Decoded& d) {
    records::Exchange& e = d.exchange;
    const auto packet = f.whole("packet");
    const QString outcome = f.text("outcome");
    if (!packet || *packet < 0 || (outcome != QLatin1String("answered") && outcome != QLatin1String("lost"))) {
        d.problem = QStringLiteral("exchange record without a packet number or outcome");
        return false;
    }
    e.runId = f.runId();
    e.packet = *packet;
    e.payload = f.text("payload");
    e.sent = f.time("time");
    e.outcome = outcome == QLatin1String("answered") ? records::Outcome::Answered : records::Outcome::Lost;
    e.rttUs = f.whole("rtt_us");
    e.farRssi = f.small("far_rssi");
    e.ackRssi = f.small("ack_rssi");
    e.noise = f.small("noise");
    e.position = positionOf(f);
    e.gps = gpsStateOf(f, e.position);
    e.sentUs = f.whole("sent_us").value_or(0);
    e.answeredUs = f.whole("answered_us");
    e.mode = modeOf(f.text("mode"));
    e.spreading = f.small("spreading").value_or(0);
    e.periodMs = f.number("period_ms").value_or(0);
    return true;
}

bool decodeLate(const Fields& f, Decoded& d) {
    const auto packet = f.whole("packet");
    if (!packet) {
        d.problem = QStringLiteral("late record without a packet number");
        return false;
    }
    d.late.runId = f.runId();
    d.late.packet = *packet;
    d.late.payload = f.text("payload");
    d.late.rttUs = f.whole("rtt_us").value_or(0);
    d.late.farRssi = f.small("far_rssi");
    return true;
}

void decodeMarker(const Fields& f, Decoded& d) {
    records::Marker& m = d.marker;
    m.runId = f.runId();
    m.number = f.small("number").value_or(0);
    m.note = f.text("note");
    m.time = f.time("time");
    m.atUs = f.whole("at_us").value_or(0);
    m.afterPacket = f.whole("after_packet").value_or(0);
    if (const auto lat = f.number("lat"), lon = f.number("lon"); lat && lon && std::fabs(*lat) <= 90 && std::fabs(*lon) <= 180) {
        records::Position p;
        p.lat = *lat;
        p.lon = *lon;
        p.alt = f.number("alt").value_or(0);
        p.fix = 1;
        const QString how = f.text("pos_how");
        p.how = how == QLatin1String("interpolated")   ? records::PositionHow::Interpolated
                : how == QLatin1String("extrapolated") ? records::PositionHow::Extrapolated
                                                       : records::PositionHow::Held;
        p.fixAgeUs = f.whole("fix_age_us");
        m.position = p;
    }
    m.gps = gpsStateOf(f, m.position);
}

void decodeEnd(const Fields& f, Decoded& d) {
    records::RunEnd& r = d.end;
    r.runId = f.runId();
    r.ended = f.time("time");
    r.cause = causeOf(f.text("cause"));
    r.message = f.text("message");
    r.sent = f.whole("sent").value_or(0);
}

// The record a line's fields hold.
void decodeRecord(const Fields& f, Decoded& d) {
    const Fields::Type schema = f.type("schema");
    d.schema = schema != Fields::Type::Missing && schema != Fields::Type::Number ? -1 : f.small("schema").value_or(0);
    const QString type = f.text("type");
    bool ok = true;
    if (type == QLatin1String("run")) {
        d.kind = Decoded::Kind::Run;
        decodeRun(f, d);
    } else if (type == QLatin1String("exchange")) {
        d.kind = Decoded::Kind::Exchange;
        ok = decodeExchange(f, d);
    } else if (type == QLatin1String("late")) {
        d.kind = Decoded::Kind::Late;
        ok = decodeLate(f, d);
    } else if (type == QLatin1String("marker")) {
        d.kind = Decoded::Kind::Marker;
        decodeMarker(f, d);
    } else if (type == QLatin1String("end")) {
        d.kind = Decoded::Kind::End;
        decodeEnd(f, d);
    } else if (type.isEmpty()) {
        ok = false;
        d.problem = QStringLiteral("record without \"type\"");
    }
    if (!ok)
        d.kind = Decoded::Kind::Bad;
}

}  // namespace

Decoded decodeLine(const QByteArray& line) {
    Decoded d;
    QString why;
    if (!readFields(line, [&d](const Fields& f) { decodeRecord(f, d); }, &why)) {
        d.kind = Decoded::Kind::Bad;
        d.problem = QStringLiteral("not a JSON record: %1").arg(why);
    }
    return d;
}

}  // namespace recordstream
