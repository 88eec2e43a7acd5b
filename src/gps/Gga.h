#pragma once
// $GPGGA sentences as text: taking the next sentence from the receive
// buffer, cutting out its fields, and the position conversions.
#include <QString>

namespace gga {

// The buffer step of one GPS tick: the redisplay cut and the choice of the
// next complete sentence.
//  - The first LF followed by `condition` cuts the buffer back to just after
//    that LF and re-arms (*processed = 0).
//  - While armed, the first "$GPGGA," whose line end (CR, or a bare LF) has
//    arrived is taken: its text up to (not including) that line end is
//    returned and *processed becomes 1.
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

} // namespace gga
