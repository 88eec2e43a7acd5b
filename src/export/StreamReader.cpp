#include "export/StreamReader.h"

#include "export/RecordStream.h"

#include <QBuffer>
#include <QIODevice>

#include <algorithm>
#include <future>
#include <system_error>
#include <thread>
#include <vector>

namespace exportdata {

namespace {

class StreamReading {
public:
    StreamReading(const QString& file, RecordSink& sink) : file_(file), sink_(sink) {}

    void line(const QByteArray& raw, bool cut) {
        ++lineNo_;
        const QByteArray text = raw.trimmed();
        if (text.isEmpty())
            return;
        Pending p;
        p.line = lineNo_;
        p.text = QByteArray(text.constData(), text.size());   // the chunk it stands in is reused
        p.cut = cut;
        p.exchange = !cut && text.startsWith(kExchangeStart);
        // Whether the sink will want it is asked when it is handed over;
        // decoded ahead when the sink wants exchanges now.
        p.decode = !p.exchange || sink_.wantsEveryExchange();
        pending_.push_back(std::move(p));
        if (pending_.size() >= kBatch)
            flush();
    }

    // Decodes the lines read so far, a share on each core (decoding is the
    // reader's cost and each line is decoded on its own), then hands their
    // records over in the order of the lines.
    void flush() {
        const std::size_t parts = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, kMaxThreads);
        const std::size_t share = (pending_.size() + parts - 1) / parts;
        const auto decode = [this](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to && i < pending_.size(); ++i)
                if (pending_[i].decode)
                    pending_[i].decoded = recordstream::decodeLine(pending_[i].text);
        };
        std::vector<std::future<void>> others;
        for (std::size_t k = 1; k < parts && k * share < pending_.size(); ++k) {
            try {
                others.push_back(std::async(std::launch::async, decode, k * share, (k + 1) * share));
            } catch (const std::system_error&) {  // no thread to be had: here, then
                decode(k * share, (k + 1) * share);
            }
        }
        decode(0, share);
        for (std::future<void>& f : others)
            f.get();
        const std::int64_t last = lineNo_;
        for (Pending& p : pending_) {
            lineNo_ = p.line;
            if (p.exchange && !sink_.wantsEveryExchange()) {
                skipped_ = std::move(p.text);
                skippedLine_ = lineNo_;
            } else if (p.decode) {
                deliver(p.decoded, p.cut);
            } else {
                deliver(p.text, p.cut);
            }
        }
        pending_.clear();
        lineNo_ = last;
    }

private:
    struct Pending {
        std::int64_t line = 0;
        QByteArray text;
        bool cut = false;
        bool exchange = false;   // an exchange record, which a sink may do without
        bool decode = true;      // decoded before it is handed over
        recordstream::Decoded decoded;
    };
    static constexpr std::size_t kBatch = 4096;
    static constexpr std::size_t kMaxThreads = 4;

    void deliver(const QByteArray& text, bool cut) { deliver(recordstream::decodeLine(text), cut); }
    void deliver(const recordstream::Decoded& d, bool cut) {
        if (d.kind == recordstream::Decoded::Kind::Bad) {
            const bool json = !d.problem.startsWith(QLatin1String("not a JSON"));
            problem(cut && !json ? QStringLiteral("last line cut short, not a complete record") : d.problem);
            return;
        }
        if (d.schema == 0)
            problem(QStringLiteral("record without \"schema\""));
        // A record of a schema this reader does not know may give its fields
        // other meanings: named and skipped.
        if (d.schema < 0 || d.schema > 2) {
            problem(d.schema < 0 ? QStringLiteral("record whose schema is not a number: skipped")
                                 : QStringLiteral("record of schema %1, this reader knows schemas 1 and 2: skipped")
                                       .arg(d.schema));
            return;
        }
        record(d);
    }

    void problem(const QString& message) { sink_.problem({file_, lineNo_, message}); }

    void open(const records::RunStart& r) {
        noteUnended();
        openLine_ = lineNo_;
        ++layers_;
        sink_.runStart(r, layerName(file_, r.started, layers_), file_);
    }
    // Records before any run record still form a layer of their own.
    void ensureLayer() {
        if (layers_ == 0)
            open(records::RunStart());
    }

    void record(const recordstream::Decoded& d) {
        using Kind = recordstream::Decoded::Kind;
        if (d.kind == Kind::Marker && !skipped_.isEmpty()) {
            // The exchange passed over just before the marker is where it stands.
            const std::int64_t at = lineNo_;
            lineNo_ = skippedLine_;
            const QByteArray text = std::move(skipped_);
            skipped_.clear();
            deliver(text, false);
            lineNo_ = at;
        }
        if (d.kind == Kind::Exchange)
            skipped_.clear();
        switch (d.kind) {
        case Kind::Run: open(d.run); break;
        case Kind::Exchange: ensureLayer(); sink_.exchange(d.exchange); break;
        case Kind::Late: ensureLayer(); sink_.late(d.late); break;
        case Kind::Marker: ensureLayer(); sink_.marker(d.marker); break;
        case Kind::End: ensureLayer(); sink_.runEnd(d.end); openLine_ = 0; break;
        case Kind::Other:
        case Kind::Bad: break;
        }
    }

public:
    // A run whose "end" record never came was cut off (killed, crashed):
    // read whole as far as it goes, and said so.
    void noteUnended() {
        if (openLine_ > 0)
            sink_.note({file_, openLine_, QStringLiteral("run without its \"end\" record (cut off: killed or crashed)")});
        openLine_ = 0;
    }

private:
        static constexpr QByteArrayView kExchangeStart{"{\"type\":\"exchange\""};

    const QString& file_;
    RecordSink& sink_;
    std::vector<Pending> pending_;  // read, not yet decoded
    QByteArray skipped_;          // the last exchange passed over unread
    std::int64_t skippedLine_ = 0;
    std::int64_t lineNo_ = 0;
    std::size_t layers_ = 0;
    std::int64_t openLine_ = 0;   // line of the run record whose end is still to come
};

} // namespace

void readStream(QIODevice& in, const QString& file, RecordSink& sink) {
    StreamReading reading(file, sink);
    QByteArray pending;
    while (true) {
        QByteArray chunk = in.read(1 << 16);
        if (chunk.isEmpty())
            break;
        qsizetype at = 0;
        for (qsizetype end; (end = chunk.indexOf('\n', at)) >= 0; at = end + 1) {
            if (pending.isEmpty()) {
                reading.line(QByteArray::fromRawData(chunk.constData() + at, end - at), false);
            } else {
                pending.append(chunk.constData() + at, end - at);
                reading.line(pending, false);
                pending.clear();
            }
        }
        pending.append(chunk.constData() + at, chunk.size() - at);
    }
    if (!pending.isEmpty())
        reading.line(pending, true);
    reading.flush();
    reading.noteUnended();
}

void readStream(const QByteArray& bytes, const QString& file, RecordSink& sink) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    readStream(buffer, file, sink);
}

Runs readStream(const QByteArray& bytes, const QString& file) {
    Runs out;
    readStream(bytes, file, out);
    return out;
}

} // namespace exportdata
