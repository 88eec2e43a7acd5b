#include "export/RecordFields.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <simdjson.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string_view>

namespace recordstream {

std::optional<std::int64_t> Fields::whole(const char* key) const {
    const auto v = number(key);
    if (!v || std::fabs(*v) > 9e15)
        return std::nullopt;
    return std::int64_t(std::llround(*v));
}

std::optional<int> Fields::small(const char* key) const {
    const auto v = number(key);
    if (!v || std::fabs(*v) > 1e6)
        return std::nullopt;
    return int(std::lround(*v));
}

QDateTime Fields::time(const char* key) const { return QDateTime::fromString(text(key), Qt::ISODateWithMs); }

std::uint64_t Fields::runId() const { return std::uint64_t(std::max<std::int64_t>(0, whole("run").value_or(0))); }

namespace {

// Lines longer, more deeply nested or with more fields go to Qt's parser.
constexpr std::size_t kMaxLine = 64 * 1024;
constexpr std::size_t kMaxDepth = 32;
constexpr std::size_t kMaxFields = 64;

// The fields of an object from Qt's parser.
class QtFields final : public Fields {
public:
    explicit QtFields(const QJsonObject& o) : o_(o) {}
    Type type(const char* key) const override {
        switch (value(key).type()) {
        case QJsonValue::Undefined: return Type::Missing;
        case QJsonValue::Null: return Type::Null;
        case QJsonValue::Bool: return Type::Bool;
        case QJsonValue::Double: return Type::Number;
        case QJsonValue::String: return Type::String;
        case QJsonValue::Array:
        case QJsonValue::Object: break;
        }
        return Type::Other;
    }
    std::optional<double> number(const char* key) const override {
        const QJsonValue v = value(key);
        if (!v.isDouble() || !std::isfinite(v.toDouble()))
            return std::nullopt;
        return v.toDouble();
    }
    QString text(const char* key) const override { return value(key).toString(); }
    std::optional<bool> flag(const char* key) const override {
        const QJsonValue v = value(key);
        return v.isBool() ? std::optional<bool>(v.toBool()) : std::nullopt;
    }

private:
    QJsonValue value(const char* key) const { return o_.value(QLatin1String(key)); }
    const QJsonObject& o_;
};

// The fields of an object from simdjson, several times faster than building
// a QJsonObject. It takes a line only where its reading is certain to be
// Qt's; any other line (refused by simdjson for whatever reason, or holding
// what the two parsers read differently) goes to Qt's parser, which then
// decides, with its own message for a line it refuses:
// - a number simdjson reads as a zero double ("0.0", "-0.0", "1e-400"):
//   Qt refuses a number that underflows to zero and reads -0.0 as 0;
// - nesting deeper than kMaxDepth, lines over kMaxLine bytes, more than
//   kMaxFields fields: rare, and outside what simdjson is set up for here.
// What simdjson refuses and Qt takes includes unescaped control characters
// in strings, lone surrogates (Qt keeps them in the text), integers beyond 64
// bits, a byte order mark, "1." and JSON that is not an object.
// Of repeated names the last counts, as in Qt.
class FastFields final : public Fields {
public:
    // False: the line is for Qt's parser.
    bool read(QByteArrayView line);

    Type type(const char* key) const override {
        const Entry* e = find(key);
        return e ? e->type : Type::Missing;
    }
    std::optional<double> number(const char* key) const override {
        const Entry* e = find(key);
        return e && e->type == Type::Number ? std::optional<double>(e->number) : std::nullopt;
    }
    QString text(const char* key) const override {
        const Entry* e = find(key);
        if (!e || e->type != Type::String)
            return {};
        if (e->text.empty())
            return QString(QLatin1String(""));   // an empty string, not a null one, as Qt's parser gives
        return QString::fromUtf8(e->text.data(), qsizetype(e->text.size()));
    }
    std::optional<bool> flag(const char* key) const override {
        const Entry* e = find(key);
        return e && e->type == Type::Bool ? std::optional<bool>(e->flag) : std::nullopt;
    }

private:
    // A name's first eight bytes as a number, so that most names compare
    // in one step.
    static std::uint64_t head(std::string_view name) {
        std::uint64_t h = 0;
        std::memcpy(&h, name.data(), std::min<std::size_t>(name.size(), 8));
        return h;
    }

    struct Entry {
        std::string_view key;
        std::uint64_t head = 0;
        Type type = Type::Other;
        bool flag = false;
        bool hidden = false;   // a later field has the same name
        double number = 0;
        std::string_view text;  // in the parser's buffer
    };

    static bool sameReading(simdjson::dom::element v);
    void add(std::string_view key, simdjson::dom::element v);
    const Entry* find(const char* key) const;

    std::array<Entry, kMaxFields> entries_;
    std::size_t count_ = 0;
    // Where the last lookup stopped: the decoder asks for the fields about
    // in the order they are written, so most lookups compare one name.
    mutable std::size_t next_ = 0;
};

// One parser per thread (lines are decoded on several), its buffers reused
// from line to line.
simdjson::dom::parser& threadParser() {
    thread_local simdjson::dom::parser parser = [] {
        simdjson::dom::parser p(kMaxLine);
        // Should this fail, the first parse allocates again or fails (and
        // its line goes to Qt's parser).
        [[maybe_unused]] const simdjson::error_code e = p.allocate(4096, kMaxDepth);
        return p;
    }();
    return parser;
}

// Whether Qt reads v, and everything in it, as simdjson does.
bool FastFields::sameReading(simdjson::dom::element v) {
    using T = simdjson::dom::element_type;
    switch (v.type()) {
    case T::DOUBLE: return double(v) != 0;
    case T::ARRAY:
        for (simdjson::dom::element item : simdjson::dom::array(v))
            if (!sameReading(item))
                return false;
        return true;
    case T::OBJECT:
        for (const simdjson::dom::key_value_pair field : simdjson::dom::object(v))
            if (!sameReading(field.value))
                return false;
        return true;
    default: return true;
    }
}

void FastFields::add(std::string_view key, simdjson::dom::element v) {
    using T = simdjson::dom::element_type;
    Entry& e = entries_[count_++];
    e = Entry();
    e.key = key;
    e.head = head(key);
    switch (v.type()) {
    // Qt holds integers as 64-bit integers and gives them as doubles.
    case T::INT64: e.type = Type::Number; e.number = double(std::int64_t(v)); break;
    case T::UINT64: e.type = Type::Number; e.number = double(std::uint64_t(v)); break;
    case T::DOUBLE: e.type = Type::Number; e.number = double(v); break;
    case T::STRING: e.type = Type::String; e.text = std::string_view(v); break;
    case T::BOOL: e.type = Type::Bool; e.flag = bool(v); break;
    case T::NULL_VALUE: e.type = Type::Null; break;
    case T::ARRAY:
    case T::OBJECT: e.type = Type::Other; break;
    }
}

bool FastFields::read(QByteArrayView line) {
    count_ = 0;
    next_ = 0;
    if (std::size_t(line.size()) > kMaxLine)
        return false;
    simdjson::dom::element root;
    if (threadParser().parse(line.data(), std::size_t(line.size())).get(root) != simdjson::SUCCESS || !root.is_object())
        return false;
    // A cheap 1,024-bit set of name hashes finds the names that may repeat.
    std::array<std::uint64_t, 16> seen{};
    for (const simdjson::dom::key_value_pair field : simdjson::dom::object(root)) {
        if (count_ == kMaxFields || !sameReading(field.value))
            return false;
        const std::string_view key = field.key;
        const std::size_t h = (key.size() * 131 + (key.empty() ? 0 : std::size_t(key.front()) * 31 +
                                                                         std::size_t(key[key.size() / 2]) * 7 +
                                                                         std::size_t(key.back()))) & 1023;
        if (seen[h / 64] & (std::uint64_t(1) << (h % 64))) {
            for (std::size_t i = 0; i < count_; ++i)
                if (entries_[i].key == key)
                    entries_[i].hidden = true;
        }
        seen[h / 64] |= std::uint64_t(1) << (h % 64);
        add(key, field.value);
    }
    return true;
}

const FastFields::Entry* FastFields::find(const char* key) const {
    const std::string_view name(key);
    const std::uint64_t h = head(name);
    for (std::size_t k = 0, i = next_; k < count_; ++k, ++i) {
        if (i == count_)
            i = 0;
        const Entry& e = entries_[i];
        if (e.head == h && e.key.size() == name.size() && !e.hidden &&
            (name.size() <= 8 || std::memcmp(e.key.data() + 8, key + 8, name.size() - 8) == 0)) {
            next_ = i + 1;
            return &e;
        }
    }
    return nullptr;
}

}  // namespace

bool readFields(QByteArrayView line, const std::function<void(const Fields&)>& use, QString* why) {
    {
        // Each thread keeps one, its table reused.
        thread_local FastFields fast;
        if (fast.read(line)) {
            use(fast);
            return true;
        }
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        if (why)
            *why = error.errorString();
        return false;
    }
    const QJsonObject o = doc.object();
    use(QtFields(o));
    return true;
}

}  // namespace recordstream
