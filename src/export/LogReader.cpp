#include "export/LogReader.h"

#include "common/NumberText.h"
#include "common/TextFile.h"
#include "gps/Gga.h"
#include "records/LateAnswerWindow.h"
#include "results/LogLines.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>

#include <cmath>
#include <deque>
#include <unordered_map>

namespace exportdata {

namespace {

// Calls fn(line, number) for each line of a text, CR LF or LF ended, without
// copying the text.
template <typename Fn>
void eachLine(const QString& text, Fn fn) {
    qsizetype at = 0;
    std::int64_t number = 0;
    while (at <= text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), at);
        const bool last = end < 0;
        if (last)
            end = text.size();
        qsizetype stop = end;
        if (stop > at && text.at(stop - 1) == QLatin1Char('\r'))
            --stop;
        fn(QStringView(text).mid(at, stop - at).toString(), ++number, last);
        at = end + 1;
    }
}

std::optional<int> integer(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

// ---- the map log ----------------------------------------------------------

// What pairs a map line with its packet: the RSSI texts and, where the
// packet's sentence gave them, the position texts.
struct MapKey {
    QString rssi;                 // far, answer, noise
    QString position;             // latitude, longitude, height; empty: unknown
};

class MapLog {
public:
    void read(const QByteArray& bytes, const QString& file, RecordSink& sink) {
        eachLine(textfile::decode(bytes), [&](const QString& line, std::int64_t number, bool last) {
            if (line.isEmpty() && last)
                return;
            if (number == 1 && loglines::isMapHeader(line))
                return;
            const auto f = loglines::parseMapLine(line);
            if (!f)
                sink.problem({file, number, QStringLiteral("not a map line (6 fields expected)")});
            add(f);
        });
    }
    bool empty() const { return lines_.empty(); }
    std::size_t size() const { return lines_.size(); }
    bool damaged(std::size_t i) const { return i < lines_.size() && !lines_[i].valid; }
    bool matches(std::size_t i, const MapKey& k) const {
        return i < lines_.size() && lines_[i].valid && lines_[i].key.rssi == k.rssi
            && (k.position.isEmpty() || lines_[i].key.position == k.position);
    }
    // The first line from `from` on that matches, or size().
    std::size_t find(const MapKey& k, std::size_t from) const {
        const auto& index = k.position.isEmpty() ? byRssi_ : byAll_;
        const auto it = index.find(k.position.isEmpty() ? k.rssi : k.rssi + k.position);
        if (it == index.end())
            return size();
        const auto at = std::lower_bound(it->second.begin(), it->second.end(), from);
        return at == it->second.end() ? size() : *at;
    }

private:
    struct Line {
        bool valid = false;
        MapKey key;
    };
    void add(const std::optional<loglines::MapFields>& f) {
        Line l;
        if (f) {
            l.valid = true;
            l.key.rssi = f->farRssi + QLatin1Char(',') + f->ackRssi + QLatin1Char(',') + f->noise;
            l.key.position = f->lat + QLatin1Char(',') + f->lon + QLatin1Char(',') + f->alt;
            byRssi_[l.key.rssi].push_back(lines_.size());
            byAll_[l.key.rssi + l.key.position].push_back(lines_.size());
        }
        lines_.push_back(std::move(l));
    }
    std::vector<Line> lines_;
    std::unordered_map<QString, std::vector<std::size_t>> byRssi_, byAll_;
};

// ---- the communication log ------------------------------------------------

struct Packet {
    std::int64_t line = 0;
    loglines::PacketLine text;
    MapKey key;
};

struct RunLines {
    QDateTime started;            // no zone yet
    std::int64_t line = 0;
    std::vector<Packet> packets;  // evaluated ones
    std::vector<std::int64_t> counts;   // the count of each, by the sends before it
};

// The map texts the window showed with a sentence: it keeps the last
// position's texts while sentences give none.
class MapTexts {
public:
    QString after(const QString& sentence) {
        const gga::Fields f = gga::extract(sentence);
        if (f.positioned) {
            texts_ = numtext::signBlank(gga::decimalDegrees(numtext::leadingNumber(f.latitude))) + QLatin1Char(',')
                + numtext::signBlank(gga::decimalDegrees(numtext::leadingNumber(f.longitude))) + QLatin1Char(',')
                + numtext::signBlank(numtext::leadingNumber(f.altitude));
        }
        return texts_;
    }

private:
    QString texts_;
};

// Seconds of the day of a GGA sentence's UTC time (hhmmss.ss), or -1.
int ggaUtcSecond(const QString& sentence) {
    const qsizetype comma = sentence.indexOf(QLatin1Char(','));
    if (comma < 0 || sentence.size() < comma + 7)
        return -1;
    bool ok[3] = {};
    const int h = sentence.mid(comma + 1, 2).toInt(&ok[0]);
    const int m = sentence.mid(comma + 3, 2).toInt(&ok[1]);
    const int s = sentence.mid(comma + 5, 2).toInt(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2] || h > 23 || m > 59 || s > 60)
        return -1;
    return h * 3600 + m * 60 + s;
}

// The zone of a run's local times: the offset between a packet's local time
// and its sentence's UTC time, to the quarter hour; the machine's zone when
// no sentence tells.
QTimeZone zoneOf(const RunLines& run) {
    for (const Packet& p : run.packets) {
        const int utc = ggaUtcSecond(p.text.answer.gga);
        if (utc < 0)
            continue;
        const QTime local = QTime::fromString(p.text.time, QStringLiteral("HH:mm:ss"));
        int offset = local.msecsSinceStartOfDay() / 1000 - utc;
        offset = int(std::lround(offset / 900.0)) * 900;
        if (offset > 14 * 3600)
            offset -= 86400;
        if (offset <= -12 * 3600)
            offset += 86400;
        return QTimeZone(offset);
    }
    return QTimeZone::systemTimeZone();
}

class LogReading {
public:
    LogReading(const QString& file, const MapLog& map, const QString& mapFile, RecordSink& sink)
        : file_(file), base_(QFileInfo(file).fileName()), map_(map), mapFile_(mapFile), sink_(sink) {
        static const QRegularExpression lora(QStringLiteral("^\\d{6}_LoRa(\\d+)_"));
        if (const auto m = lora.match(base_); m.hasMatch()) {
            mode_ = records::Mode::LoRa;
            for (int i = 0; i < 6; ++i)
                if (m.captured(1).toInt() == 1 << (i + 7))
                    spreading_ = i;
        }
    }

    void line(const QString& line, std::int64_t number, bool last) {
        if (line.isEmpty() || loglines::isColumnHeads(line))
            return;
        if (number == 1 && loglines::isMapHeader(line)) {
            problem(number, QStringLiteral("a map log, not a communication log"));
            return;
        }
        if (const auto started = loglines::parseRunStart(line)) {
            finishRun();
            run_ = RunLines{*started, number, {}, {}};
            open_ = true;
            return;
        }
        QString why;
        const auto p = loglines::parsePacketLine(line, &why);
        if (!p) {
            // A damaged packet line's count is taken up by the next
            // packet's payload digits.
            problem(number, why.isEmpty() ? QStringLiteral("not a line of a run") : why);
            return;
        }
        if (!open_) {
            problem(number, QStringLiteral("packet line before any run-start line"));
            run_ = RunLines{};
            open_ = true;
        }
        sends_ = nextCount(p->commands);
        if (!p->evaluated)
            return;   // the send half alone: the run ended first, or the file was cut here
        // The last line of a log is never ended; one whose sentence lost
        // its checksum was cut short while being written or copied.
        if (last && !p->answer.gga.isEmpty() && !p->answer.gga.contains(QLatin1Char('*')))
            problem(number, QStringLiteral("last line cut short (GGA sentence without its checksum)"));
        const loglines::AnswerFields& a = p->answer;
        Packet packet{number, *p, {a.farRssi + QLatin1Char(',') + a.ackRssi + QLatin1Char(',') + a.noise, {}}};
        packet.key.position = mapTexts_.after(a.gga);
        run_.packets.push_back(std::move(packet));
        run_.counts.push_back(sends_);
    }

    void finish() {
        finishRun();
        if (!map_.empty() && mapUsed_ < map_.size())
            sink_.problem({mapFile_, 0, QStringLiteral("%1 map lines match no packet of the communication log")
                                            .arg(map_.size() - mapUsed_)});
    }

private:
    void problem(std::int64_t line, const QString& message) { sink_.problem({file_, line, message}); }

    // The count of a packet: one more than the send before it, or, when
    // damaged lines were lost between, the next count its payload digits
    // (the count's last three) name.
    std::int64_t nextCount(const QString& commands) const {
        const std::int64_t next = sends_ + 1;
        bool ok = false;
        const int digits = loglines::payloadOf(commands).toInt(&ok);
        if (!ok)
            return next;
        return next + ((digits - next % 1000) % 1000 + 1000) % 1000;
    }

    // Whether a packet had its map line (the GPS in use) and which; moves
    // the pairing on past it.
    bool pairMap(const RunLines& run, std::size_t i) {
        if (map_.empty())
            return true;   // no map log: the sentences alone tell
        const MapKey& key = run.packets[i].key;
        const MapKey* next = i + 1 < run.packets.size() ? &run.packets[i + 1].key : nullptr;
        const auto confirmed = [&](std::size_t at) { return !next || map_.matches(at + 1, *next) || at + 1 >= map_.size(); };
        std::size_t at = map_.find(key, cursor_);
        if (at != cursor_ && map_.damaged(cursor_) && confirmed(cursor_))
            at = cursor_;   // the damaged line is this packet's
        else if (at >= map_.size() || (at != cursor_ && !confirmed(at)))
            return false;
        cursor_ = at + 1;
        ++mapUsed_;
        return true;
    }

    void finishRun() {
        if (!open_)
            return;
        open_ = false;
        const QTimeZone zone = zoneOf(run_);
        records::RunStart start;
        start.runId = ++runs_;
        start.mode = mode_;
        start.spreading = spreading_;
        start.commLog = base_;
        QDate date = run_.started.date();
        if (run_.started.isValid())
            start.started = QDateTime(date, run_.started.time(), zone);
        sink_.runStart(start, run_.started.isValid() ? layerName(file_, run_.started, runs_) : base_, file_);

        std::deque<records::Exchange> recent;   // for the late answers
        QTime lastTime;
        for (std::size_t i = 0; i < run_.packets.size(); ++i) {
            const Packet& p = run_.packets[i];
            const QTime t = QTime::fromString(p.text.time, QStringLiteral("HH:mm:ss"));
            if (lastTime.isValid() && t < lastTime)
                date = date.addDays(1);   // past midnight
            lastTime = t;
            records::Exchange e = exchangeOf(p, run_.counts[i], date.isValid() ? QDateTime(date, t, zone) : QDateTime(),
                                             start);
            if (pairMap(run_, i) && !p.text.answer.gga.isEmpty())
                e.position = gga::position(p.text.answer.gga);
            lateAnswers(p.text.answer.received, e, recent);
            sink_.exchange(e);
            if (e.outcome == records::Outcome::Lost) {
                recent.push_back(e);
                if (recent.size() > std::size_t(records::kLateAnswerWindow))
                    recent.pop_front();
            }
        }
        sends_ = 0;
    }

    records::Exchange exchangeOf(const Packet& p, std::int64_t count, const QDateTime& sent,
                                 const records::RunStart& start) {
        const loglines::AnswerFields& a = p.text.answer;
        records::Exchange e;
        e.runId = start.runId;
        e.packet = count;
        e.payload = loglines::payloadOf(p.text.commands);
        e.sent = sent;
        if (sent.isValid() && start.started.isValid())
            e.sentUs = start.started.msecsTo(sent) * 1000;
        e.outcome = a.farRssi.isEmpty() ? records::Outcome::Lost : records::Outcome::Answered;
        if (e.outcome == records::Outcome::Answered && !a.responseTime.trimmed().isEmpty()) {
            e.rttUs = std::llround(numtext::leadingNumber(a.responseTime) * 1000);
            e.answeredUs = e.sentUs + *e.rttUs;
        }
        e.farRssi = integer(a.farRssi);
        e.ackRssi = integer(a.ackRssi);
        e.noise = integer(a.noise);
        e.mode = start.mode;
        e.spreading = start.spreading;
        return e;
    }

    // Answers of earlier lost packets in this answer's text ("*DR=05" and
    // their digits), within the window the cycle watches; each told once.
    void lateAnswers(const QString& received, const records::Exchange& e, std::deque<records::Exchange>& recent) {
        static const QRegularExpression reply(QStringLiteral("\\*DR=05(\\d{3})"));
        for (auto it = reply.globalMatch(received); it.hasNext();) {
            const QString digits = it.next().captured(1);
            if (digits == e.payload)
                continue;
            for (auto r = recent.rbegin(); r != recent.rend(); ++r) {
                if (r->payload != digits || e.packet - r->packet > records::kLateAnswerWindow)
                    continue;
                records::LateAnswer l;
                l.runId = e.runId;
                l.packet = r->packet;
                l.payload = r->payload;
                l.rttUs = e.sentUs - r->sentUs;   // to the second the log tells
                sink_.late(l);
                recent.erase(std::next(r).base());
                break;
            }
        }
    }

    const QString& file_;
    const QString base_;
    const MapLog& map_;
    const QString& mapFile_;
    RecordSink& sink_;
    records::Mode mode_ = records::Mode::Fsk;
    int spreading_ = 0;
    RunLines run_;
    bool open_ = false;
    std::int64_t sends_ = 0;
    std::uint64_t runs_ = 0;
    MapTexts mapTexts_;
    std::size_t cursor_ = 0;
    std::size_t mapUsed_ = 0;
};

} // namespace

QString mapLogPathFor(const QString& commLogPath) {
    static const QRegularExpression rule(QStringLiteral("^(\\d{6}_(?:FSK Mode|LoRa\\d+)_)(.*)\\.log$"));
    const QFileInfo info(commLogPath);
    const QRegularExpressionMatch m = rule.match(info.fileName());
    if (!m.hasMatch() || m.captured(2).startsWith(QLatin1String("Map_"))) return QString();
    const QString name = m.captured(1) + QStringLiteral("Map_") + m.captured(2) + QStringLiteral(".log");
    return commLogPath.contains(QLatin1Char('/')) ? info.dir().filePath(name) : name;
}

void readCommLog(const QByteArray& commLog, const QString& file, const QByteArray& mapLog, const QString& mapFile,
                 RecordSink& sink) {
    MapLog map;
    if (!mapLog.isEmpty())
        map.read(mapLog, mapFile, sink);
    LogReading reading(file, map, mapFile, sink);
    eachLine(textfile::decode(commLog), [&](const QString& line, std::int64_t number, bool last) {
        reading.line(line, number, last);
    });
    reading.finish();
}

Runs readCommLog(const QByteArray& commLog, const QString& file, const QByteArray& mapLog, const QString& mapFile) {
    Runs out;
    readCommLog(commLog, file, mapLog, mapFile, out);
    return out;
}

} // namespace exportdata
