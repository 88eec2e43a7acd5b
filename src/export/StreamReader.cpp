#include "export/StreamReader.h"

#include "export/RecordStream.h"

#include <QBuffer>
#include <QIODevice>

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
        if (!cut && text.startsWith(kExchangeStart) && !sink_.wantsEveryExchange()) {
            skipped_ = QByteArray(text.constData(), text.size());   // the chunk it stands in is reused
            skippedLine_ = lineNo_;
            return;
        }
        deliver(text, cut);
    }

private:
    void deliver(const QByteArray& text, bool cut) {
        const recordstream::Decoded d = recordstream::decodeLine(text);
        if (d.kind == recordstream::Decoded::Kind::Bad) {
            const bool json = !d.problem.startsWith(QLatin1String("not a JSON"));
            problem(cut && !json ? QStringLiteral("last line cut short, not a complete record") : d.problem);
            return;
        }
        if (d.schema == 0)
            problem(QStringLiteral("record without \"schema\""));
        record(d);
    }

    void problem(const QString& message) { sink_.problem({file_, lineNo_, message}); }

    void open(const records::RunStart& r) {
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
        case Kind::End: ensureLayer(); sink_.runEnd(d.end); break;
        case Kind::Other:
        case Kind::Bad: break;
        }
    }

    static constexpr QByteArrayView kExchangeStart{"{\"type\":\"exchange\""};

    const QString& file_;
    RecordSink& sink_;
    QByteArray skipped_;          // the last exchange passed over unread
    std::int64_t skippedLine_ = 0;
    std::int64_t lineNo_ = 0;
    std::size_t layers_ = 0;
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
