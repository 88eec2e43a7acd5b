#pragma once
// What an export reads: the records a run emitted (records::RunStart,
// Exchange, LateAnswer, Marker, RunEnd), read back from a record stream or
// from the code page 932 logs, handed to a RecordSink in the order the run
// emitted them. Every run opens a layer of its own. Readers report what
// they could not read as problems (file and line) and keep everything they
// could.
#include "records/Exchange.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <unordered_set>
#include <vector>

namespace exportdata {

// An exchange as a map shows it: late is lost, its answer found later.
enum class Outcome { Answered, Lost, Late };
QString outcomeName(Outcome outcome);  // "answered", "lost", "late"

struct Problem {
    QString file;
    std::int64_t line = 0;             // 1-based; 0 when the whole file is meant
    QString message;
    QString text() const;              // "file:line: message"
};

class RecordSink {
public:
    virtual ~RecordSink() = default;
    // Opens a layer: `layer` names it (the file and the run's start time),
    // `source` is the file read.
    virtual void runStart(const records::RunStart& r, const QString& layer, const QString& source) = 0;
    virtual void exchange(const records::Exchange& e) = 0;
    virtual void late(const records::LateAnswer&) {}
    virtual void marker(const records::Marker&) {}
    virtual void runEnd(const records::RunEnd&) {}
    virtual void problem(const Problem&) {}
    // What is worth knowing but was read whole (a run that never ended).
    virtual void note(const Problem&) {}
    // False while the sink can do without the exchanges: a reader may then
    // pass them over unread, but still hands over the one just before a
    // marker.
    virtual bool wantsEveryExchange() const { return true; }
};

// One run as read, every record kept.
struct Layer {
    QString name;
    QString source;
    records::RunStart start;
    std::vector<records::Exchange> exchanges;
    std::vector<records::LateAnswer> late;
    std::vector<records::Marker> markers;
    std::optional<records::RunEnd> end;

    std::unordered_set<std::int64_t> latePackets() const;
};

// Keeps every record read (tests and tools that need the whole runs).
class Runs : public RecordSink {
public:
    std::vector<Layer> runs;
    std::vector<Problem> problems;
    std::vector<Problem> notes;

    void runStart(const records::RunStart& r, const QString& layer, const QString& source) override;
    void exchange(const records::Exchange& e) override;
    void late(const records::LateAnswer& l) override;
    void marker(const records::Marker& m) override;
    void runEnd(const records::RunEnd& r) override;
    void problem(const Problem& p) override { problems.push_back(p); }
    void note(const Problem& p) override { notes.push_back(p); }

    // Hands every record kept to another sink, in order.
    void replay(RecordSink& to) const;

private:
    Layer& current();
};

// The position of an exchange that may be a map point: a usable one.
inline const records::Position* mapPosition(const records::Exchange& e) {
    return e.position && e.position->usable() ? &*e.position : nullptr;
}

// "file yyyy-MM-dd HH:mm:ss" from the run's start time; "file #n" without one.
QString layerName(const QString& file, const QDateTime& started, std::size_t runNumber);

} // namespace exportdata
