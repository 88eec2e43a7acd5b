#include "NmeaWalk.h"

#include <cmath>
#include <cstdio>

namespace nmeawalk {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegree = 111320.0;

QByteArray field(double deg, int degreeDigits, char pos, char neg) {
    const char hemi = deg >= 0 ? pos : neg;
    deg = std::fabs(deg);
    const int d = static_cast<int>(deg);
    const double minutes = (deg - d) * 60.0;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%0*d%07.4f,%c", degreeDigits, d, minutes, hemi);
    return buf;
}

QByteArray sentence(const QByteArray& body) { return "$" + body + checksum(body) + "\r\n"; }
} // namespace

QByteArray checksum(const QByteArray& body) {
    unsigned char x = 0;
    for (char c : body) x ^= static_cast<unsigned char>(c);
    char buf[8];
    std::snprintf(buf, sizeof buf, "*%02X", x);
    return buf;
}

QByteArray secondOf(const Walk& w, int n) {
    const double metres = w.speed * n;
    const double rad = w.heading * kPi / 180.0;
    const double lat = w.latitude + metres * std::cos(rad) / kMetresPerDegree;
    const double lon = w.longitude + metres * std::sin(rad) / (kMetresPerDegree * std::cos(w.latitude * kPi / 180.0));
    const int secs = n % 86400;
    char time[16];
    std::snprintf(time, sizeof time, "%02d%02d%02d.00", secs / 3600, secs / 60 % 60, secs % 60);
    char alt[32];
    std::snprintf(alt, sizeof alt, "%.1f", w.altitude);
    char knots[32];
    std::snprintf(knots, sizeof knots, "%.2f,%.1f", w.speed * 3600.0 / 1852.0, w.heading);
    const QByteArray latText = field(lat, 2, 'N', 'S'), lonText = field(lon, 3, 'E', 'W');
    const QByteArray gga = QByteArray("GPGGA,") + time + "," + latText + "," + lonText + ",1,08,0.9," + alt + ",M,39.2,M,,";
    const QByteArray rmc = QByteArray("GPRMC,") + time + ",A," + latText + "," + lonText + "," + knots + ",071217,,,A";
    return sentence(gga) + sentence(rmc);
}

} // namespace nmeawalk
