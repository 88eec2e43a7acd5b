#include "module/CommandSet.h"

#include "common/HexDump.h"
#include "form/FormState.h"
#include "common/NumberText.h"

#include <cmath>

namespace cmdset {

QByteArray commandLine(const QString& command) {
    QByteArray line = command.toLatin1();
    line.append("\r\n", 2);
    return line;
}

QString readableText(const QByteArray& bytes) {
    static const QString cr = QStringLiteral("[Cr]");
    static const QString lf = QStringLiteral("[Lf]");
    static const QChar dot(0xFF65);
    QString out;
    out.reserve(bytes.size() + 16);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b <= 0x7E)
            out.append(QLatin1Char(char(b)));
        else if (b == 0x0D)
            out.append(cr);
        else if (b == 0x0A)
            out.append(lf);
        else
            out.append(dot);
    }
    return out;
}

QString dataCommand(const QString& prefix, const QString& sequence, const QString& dummy) {
    return prefix + sequence + dummy;
}

QString expectedAnswer(const QString& expectedAnswerHex, const QString& sequence) {
    return expectedAnswerHex + hexDump(sequence.toLatin1());
}

int farEndRssi(int high, int low) {
    const int value = (high & 0xFF) * 256 + (low & 0xFF);
    return value >= 32768 ? value - 65536 : value;
}

std::optional<int> farEndRssiIn(const QString& rxData, const QString& pattern) {
    const int at = rxData.indexOf(pattern);
    if (at < 0)
        return std::nullopt;
    // A pair cut off at the end of the dump counts 0 (its digits so far
    // still count: "F" reads as 15).
    const auto pairAt = [&rxData](int from) {
        bool ok = false;
        const int v = rxData.mid(from, 2).toInt(&ok, 16);
        return ok ? v : 0;
    };
    const int from = at + int(pattern.size());
    return farEndRssi(pairAt(from), pairAt(from + 3));
}

std::optional<QString> valueBeforeDbm(const QString& rxText, const QString& keyword) {
    const int at = rxText.indexOf(keyword);
    if (at < 0)
        return std::nullopt;
    const int from = at + int(keyword.size());
    const int end = rxText.indexOf(kDbm, from);
    if (end < 0)
        return std::nullopt;
    return rxText.mid(from, end - from);
}

std::optional<QString> answerRssi(const QString& rxText) {
    // Wherever the two stand, a "*RS=" report decides: without its "dBm"
    // the value is not there yet, and the older form does not stand in.
    if (rxText.contains(kAnswerRssi))
        return valueBeforeDbm(rxText, kAnswerRssi);
    return valueBeforeDbm(rxText, kAnswerRssiOld);
}

int firmwareKind(const QString& rxText) {
    if (rxText.contains(kFirmwareAnswerNew))
        return FormState::kFirmwareFvForm;
    if (rxText.contains(kFirmwareAnswerOld))
        return FormState::kFirmwareVersionForm;
    return FormState::kNoFirmwareAnswer;
}

Mode moduleMode(const QString& rxText) {
    if (rxText.contains(kModeFskAnswer))
        return Mode::Fsk;
    if (rxText.contains(kModeLoraAnswer))
        return Mode::Lora;
    return Mode::None;
}

Spreading spreading(const QString& rxText) {
    Spreading s;
    const int at = rxText.indexOf(kSpreadingAnswer);
    if (at < 0)
        return s;
    s.found = true;
    s.text = rxText.mid(at + int(kSpreadingAnswer.size()), 2);
    // Read as a number (" 5", "5." and "+3" are numbers too) and taken to
    // the nearest integer, halves to even, as numbers are read everywhere
    // else. Two characters hold at most two digits: no overflow.
    s.index = int(std::nearbyint(numtext::leadingNumber(s.text)));
    s.valid = s.index >= 0 && s.index < kSpreadingCount;
    return s;
}

int chipsPerSymbol(int index) { return 1 << (index + 7); }

} // namespace cmdset
