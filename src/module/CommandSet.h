#pragma once
// The radio module's command language as this program uses it: the command
// texts, the framing of a command line, the data command and the pattern of
// its looped-back answer, and the readers of the answers. Pure functions on
// the accumulated receive texts (the readable rendering and the hex dump).
#include <QByteArray>
#include <QString>
#include <optional>

namespace cmdset {

inline const QString kFirmwareCommand = QStringLiteral("@FV");
inline const QString kModeCommand = QStringLiteral("@MO");
inline const QString kSpreadingCommand = QStringLiteral("@SF");
inline const QString kNoiseCommand = QStringLiteral("@RA");
inline const QString kAnswerRssiCommand = QStringLiteral("@RS");

// Answer keywords, searched in the readable rendering of the received bytes.
inline const QString kFirmwareAnswerNew = QStringLiteral("*FV");
inline const QString kFirmwareAnswerOld = QStringLiteral("Version=");
inline const QString kModeFskAnswer = QStringLiteral("*MO=01");
inline const QString kModeLoraAnswer = QStringLiteral("*MO=03");
inline const QString kSpreadingAnswer = QStringLiteral("*SF=");
inline const QString kNoiseAnswer = QStringLiteral("*RA=");
inline const QString kAnswerRssi = QStringLiteral("*RS=");
inline const QString kAnswerRssiOld = QStringLiteral("RSSI=");
inline const QString kDbm = QStringLiteral("dBm");

// Hex dump of "*DR=05", the header of the looped-back data answer.
inline const QString kExpectedAnswerHex = QStringLiteral("2A 44 52 3D 30 35 ");

// One command line on the wire: the command's bytes (ASCII), CR, LF.
QByteArray commandLine(const QString& command);

// Readable rendering of received bytes: printable ASCII (0x20 ... 0x7E) as
// itself, CR "[Cr]", LF "[Lf]", every other byte "･" (U+FF65).
QString readableText(const QByteArray& bytes);

// The data command: the prefix ("@DT05"), the 3 sequence digits and the 2
// placeholder characters for the far end's signal strength.
QString dataCommand(const QString& prefix, const QString& sequence, const QString& dummy);

// The pattern of the awaited data answer in the hex dump: the answer
// header's dump followed by the dump of the sequence characters.
QString expectedAnswer(const QString& expectedAnswerHex, const QString& sequence);

// Signed 16-bit big-endian value of two bytes (0xFF 0xB5 gives -75).
int farEndRssi(int high, int low);

// The exchange's outcome and the far end's signal strength: empty when
// pattern (the expected answer) is not in the hex dump, else the two hex
// pairs that follow the first match as a signed 16-bit value; a pair not
// (fully) received counts 0.
std::optional<int> farEndRssiIn(const QString& rxData, const QString& pattern);

// The text between the first keyword and the next "dBm" after it, taken
// verbatim ("*RS=-75dBm" gives "-75"). Empty when either is missing.
std::optional<QString> valueBeforeDbm(const QString& rxText, const QString& keyword);

// The answer signal strength: when "*RS=" is present, its value (empty
// while its "dBm" has not arrived); otherwise the older form "RSSI=".
// Empty: the box keeps its text.
std::optional<QString> answerRssi(const QString& rxText);

// Firmware generation from the "@FV" answer: 2 when "*FV" is present,
// else 1 when "Version=" is present, else 0 (no answer).
int firmwareKind(const QString& rxText);

enum class Mode { None, Fsk, Lora };
// Operating mode from the "@MO" answer; FSK wins when both appear.
Mode moduleMode(const QString& rxText);

// The "@SF" answer.
struct Spreading {
    bool found = false;    // "*SF=" present
    QString text;          // the two characters after it (fewer if cut off)
    int index = 0;         // the text read as a decimal number, nearest integer
    bool valid = false;    // index is 0 ... 5 (one of the six spreading settings)
};
Spreading spreading(const QString& rxText);

constexpr int kSpreadingCount = 6;
// Chips per symbol of a spreading index: 2^(index + 7), 128 ... 4096.
int chipsPerSymbol(int index);

} // namespace cmdset
