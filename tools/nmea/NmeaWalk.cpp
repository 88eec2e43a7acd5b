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
    int d = static_cast<int>(deg);
    double minutes = std::round((deg - d) * 60.0 * 1e4) / 1e4;  // as printed
    if (minutes >= 60.0) {  // 59.99996' prints as the next whole degree
        ++d;
        minutes = 0;
    }
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

Place placeAt(const Walk& w, double t) {
    const double metres = w.speed * t;
    const double rad = w.heading * kPi / 180.0;
    return {w.latitude + metres * std::cos(rad) / kMetresPerDegree,
            w.longitude + metres * std::sin(rad) / (kMetresPerDegree * std::cos(w.latitude * kPi / 180.0))};
}

QByteArray secondOf(const Walk& w, int n) {
    const Place at = placeAt(w, n);
    const double lat = at.latitude, lon = at.longitude;
    const long centis = std::lround(std::fmod(w.utcStart + n, 86400.0) * 100) % 8640000;
    char time[16];
    std::snprintf(time, sizeof time, "%02ld%02ld%02ld.%02ld", centis / 360000, centis / 6000 % 60, centis / 100 % 60,
                  centis % 100);
    char alt[32];
    std::snprintf(alt, sizeof alt, "%.1f", w.altitude);
    char knots[32];
    std::snprintf(knots, sizeof knots, "%.2f,%.1f", w.speed * 3600.0 / 1852.0, w.heading);
    if (w.noFix)
        return sentence(QByteArray("GPGGA,") + time + ",,,,,0,00,99.9,,M,,M,,") +
               sentence(QByteArray("GPRMC,") + time + ",V,,,,,,,071217,,,N");
    const QByteArray latText = field(lat, 2, 'N', 'S'), lonText = field(lon, 3, 'E', 'W');
    const QByteArray gga = QByteArray("GPGGA,") + time + "," + latText + "," + lonText + ",1,08,0.9," + alt + ",M,39.2,M,,";
    const QByteArray rmc = QByteArray("GPRMC,") + time + ",A," + latText + "," + lonText + "," + knots + ",071217,,,A";
    return sentence(gga) + sentence(rmc);
}

} // namespace nmeawalk
