#include "gps/Distance.h"

#include "common/NumberText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace hubeny {

namespace {
constexpr double kSemiMajor = 6378137.0;
constexpr double kEccentricity2 = 0.00669437999019758;
// a(1 - e²), kept as this literal rather than computed.
constexpr double kMeridianNumerator = 6335439.32729246;

double radians(double degrees) {
    const double pi = 4.0 * std::atan(1.0);
    return numtext::round15(degrees) * pi / 180.0;
}
} // namespace

double distance(double lat1, double lon1, double lat0, double lon0, double h) {
    const double phi1 = radians(lat1), lambda1 = radians(lon1);
    const double phi0 = radians(lat0), lambda0 = radians(lon0);
    const double mu = (phi0 + phi1) / 2.0;
    const double dPhi = std::fabs(phi1 - phi0);
    const double dLambda = std::fabs(lambda1 - lambda0);
    const double sinMu = std::sin(mu);
    const double w2 = 1.0 - kEccentricity2 * sinMu * sinMu;
    const double m = kMeridianNumerator / std::sqrt(w2 * w2 * w2);
    const double n = kSemiMajor / std::sqrt(w2);
    const double height = h;
    const double a = dPhi * m;
    const double b = dLambda * n * std::cos(mu);
    return std::sqrt(a * a + b * b + height * height);
}

QString metresText(double metres) {
    if (!std::isfinite(metres)) return QString();
    const bool negative = metres < 0;
    // 15 significant digits: d.dddddddddddddde±x.
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(metres));
    std::string digits;
    for (const char* p = buf; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') digits += *p;
    const int exponent = std::atoi(std::strchr(buf, 'e') + 1);
    // Digits kept for one decimal: the integer digits plus one.
    const int keep = exponent + 2;
    std::string tenths;   // the value times ten, as decimal digits
    if (keep <= 0) {
        tenths = "0";
    } else {
        if (keep < static_cast<int>(digits.size())) {
            const bool up = digits[keep] >= '5';
            digits.resize(keep);
            if (up) {
                int i = keep - 1;
                while (i >= 0 && digits[i] == '9') digits[i--] = '0';
                if (i < 0) digits.insert(digits.begin(), '1');
                else ++digits[i];
            }
        } else {
            digits.append(keep - digits.size(), '0');
        }
        tenths = digits;
    }
    if (keep == 0 && digits[0] >= '5') tenths = "1";   // 0.05 .. 0.099 rounds to 0.1
    while (tenths.size() < 2) tenths.insert(tenths.begin(), '0');
    std::string text = tenths.substr(0, tenths.size() - 1) + "." + tenths.substr(tenths.size() - 1);
    if (negative && text != "0.0") text.insert(text.begin(), '-');
    return QString::fromLatin1(text.c_str());
}

} // namespace hubeny
