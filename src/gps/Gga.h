#pragma once
// $GPGGA sentences as text: taking the next sentence from the receive
// buffer, cutting out its fields, and the position conversions.
#include "records/Exchange.h"

#include <QString>

#include <optional>

namespace gga {

// The talkers whose GGA sentences give positions: GPS, any combination of
// systems, GLONASS, Galileo, BeiDou (both forms), QZSS.
inline constexpr const char* kTalkers[] = {"GP", "GN", "GL", "GA", "GB", "BD", "GQ"};

// The buffer step of one GPS tick: the redisplay cut and the choice of the
// next complete sentence.
//  - The first LF followed by `condition` cuts the buffer back to just after
//    that LF and re-arms (*processed = 0).
//  - While armed, the first "$GPGGA," whose line end (CR, or a bare LF) has
//    arrived is taken: its text up to (not including) that line end is
//    returned and *processed becomes 1.
// Receivers of several satellite systems send GGA with other talkers
// ($GNGGA, ...): while the buffer holds no "$GPGGA," at all, a GGA sentence
// of any talker in kTalkers is taken the same way, and a condition "$GPxxx"
// also cuts at "$GNxxx", "$GLxxx", ... So a receiver that sends $GPGGA is
// read exactly as before.
// Returns an empty string when nothing is taken.
QString takeSentence(QString& buffer, int* processed, const QString& condition);

// The fields of one sentence, found by the searches of the GGA layout:
// the comma after the time, ",N,", ",E,", the commas after the fix quality,
// the satellites and the dilution, and ",M," after the altitude.
struct Fields {
    bool positioned = false;   // ",N,", ",E," and ",M," all found in order
    QString latitude;          // ddmm.mmmm as received
    QString longitude;         // dddmm.mmmm as received
    QString satellites;        // as received, e.g. "08"
    QString altitude;          // metres as received
};
// A boundary that falls before the start of its field (a malformed sentence)
// gives an empty field, never a negative-length cut.
Fields extract(const QString& sentence);

// Decimal degrees from ddmm.mmmm, truncated to 7 decimals:
// d = floor(r/100), m = r - 100d, d + floor((m/60) * 1e7) / 1e7, in double
// and in exactly this order (the truncation sits on a rounding boundary).
double decimalDegrees(double raw);

// Degrees-minutes-seconds text, each number in sign-blank form, seconds
// truncated to two decimals: " 35度 39分 7.4秒".
QString dmsText(double raw);

// The position a GGA sentence of any talker states, as the records carry it:
// signed decimal degrees (south and west negative, each truncated to 7
// decimals like the window's), altitude, fix quality, satellites, HDOP and
// whether the checksum ("*" and two hex digits, the XOR of the characters
// between "$" and "*") is good; a missing checksum is not good. Empty when
// the sentence has no latitude or longitude with its hemisphere letter, or
// one out of range. Distance is left empty: it needs the datum point.
std::optional<records::Position> position(const QString& sentence);

// Both readings of one sentence from a single pass over its characters:
// the window's fields (extract) and the records' position (position).
struct Reading {
    Fields fields;
    std::optional<records::Position> position;
};
Reading read(const QString& sentence);

} // namespace gga
