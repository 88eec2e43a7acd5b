#include "common/TextFile.h"

#include "common/WholeFile.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <array>

namespace textfile {

namespace {

// ICU's name for the Windows variant of Shift_JIS first (it has the NEC and
// IBM extensions such as "①" and maps "～" the Windows way), then aliases
// other ICU builds may know it by.
const char* codecName() {
    static const char* const name = [] {
        for (const char* n : {"windows-31j", "cp932", "ibm-943_P15A-2003", "Shift_JIS"})
            if (QStringEncoder(n).isValid()) return n;
        return "Shift_JIS";
    }();
    return name;
}

void setError(QString* error, const QString& reason) {
    if (error) *error = reason;
}

// The stand-ins of received bytes: U+DC00 + byte.
constexpr char16_t kStandInBase = 0xDC00;
bool isStandIn(QChar c) { return c.unicode() >= kStandInBase && c.unicode() <= kStandInBase + 0xFF; }

// The first byte of a two-byte character of code page 932, and the bytes
// that may follow it.
bool isLeadByte(uchar b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool isTrailByte(uchar b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

} // namespace

QByteArray encode(const QString& text) {
    QStringEncoder enc(codecName());
    QByteArray out;
    qsizetype run = 0;   // start of the text not yet encoded
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;   // a pair: one character, never a stand-in
            continue;
        }
        if (!isStandIn(c))
            continue;
        out += enc.encode(QStringView(text).mid(run, i - run));
        out += char(c.unicode() - kStandInBase);
        run = i + 1;
    }
    out += enc.encode(QStringView(text).mid(run));
    return out;
}

QString decode(const QByteArray& bytes) {
    QStringDecoder dec(codecName());
    return dec.decode(bytes);
}

namespace {
// An ASCII byte as itself, unless the code page's table writes that
// character back as another byte (its control characters 0x1A, 0x1C and
// 0x7F are swapped): then as its stand-in.
QChar asciiOf(uchar b) {
    static const std::array<QChar, 0x80> table = [] {
        std::array<QChar, 0x80> t{};
        for (int c = 0; c < 0x80; ++c) {
            const QChar ch{char16_t(c)};
            t[c] = encode(QString(ch)) == QByteArray(1, char(c)) ? ch : QChar(char16_t(kStandInBase + c));
        }
        return t;
    }();
    return table[b];
}
} // namespace

QString decodeReceived(QByteArray* pending, const QByteArray& bytes) {
    const QByteArray in = *pending + bytes;
    pending->clear();
    QString out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const auto b = uchar(in.at(i));
        if (b < 0x80) {
            out += asciiOf(b);
            continue;
        }
        qsizetype len = 1;
        if (isLeadByte(b)) {
            if (i + 1 == in.size()) {
                *pending = in.mid(i);   // its second byte is still on the way
                break;
            }
            if (isTrailByte(uchar(in.at(i + 1))))
                len = 2;
        }
        const QByteArray unit = in.mid(i, len);
        const QString text = decode(unit);
        if (text.size() == 1 && !isStandIn(text.at(0)) && encode(text) == unit) {
            out += text;
            i += len - 1;
        } else {
            // Not a character that converts back to these bytes: this byte
            // alone is kept, the next one is read on its own.
            out += QChar(char16_t(kStandInBase + b));
        }
    }
    return out;
}

bool read(const QString& path, QString* text, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        setError(error, f.errorString());
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        setError(error, f.errorString());
        return false;
    }
    if (text) *text = decode(bytes);
    return true;
}

bool write(const QString& path, const QString& text, QString* error) {
    return wholefile::replace(path, encode(text), error);
}

bool append(const QString& path, const QString& text, QString* error) {
    return wholefile::append(path, encode(text), error);
}

} // namespace textfile
