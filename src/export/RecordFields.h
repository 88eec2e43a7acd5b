#pragma once
// The top-level fields of one record line, by name, for the record stream's
// decoder. A line is parsed by simdjson where that gives exactly what Qt's
// JSON parser gives, and by Qt's parser otherwise (see RecordFields.cpp), so
// what a line decodes to, and why a line is refused, do not depend on which
// parser read it.
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace recordstream {

class Fields {
public:
    // Missing: the record has no field of that name.
    enum class Type { Missing, Null, Bool, Number, String, Other };

    virtual ~Fields() = default;
    virtual Type type(const char* key) const = 0;
    // A finite number; nothing for any other value.
    virtual std::optional<double> number(const char* key) const = 0;
    // A string's text; empty for any other value.
    virtual QString text(const char* key) const = 0;
    virtual std::optional<bool> flag(const char* key) const = 0;

    // A number within +-9e15 (where doubles still hold every whole number),
    // rounded.
    std::optional<std::int64_t> whole(const char* key) const;
    // A number within +-1e6, rounded.
    std::optional<int> small(const char* key) const;
    QDateTime time(const char* key) const;
    std::uint64_t runId() const;
};

// Parses line as one JSON object and hands its fields to use (they are valid
// during the call only). False when the line is no JSON object; why then
// holds Qt's message for it ("no error occurred" for JSON that is not an
// object).
bool readFields(QByteArrayView line, const std::function<void(const Fields&)>& use, QString* why);

}  // namespace recordstream
