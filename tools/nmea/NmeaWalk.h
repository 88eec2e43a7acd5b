#pragma once
// Sentences of a receiver walking away from a start point: one GGA and one
// RMC a second, with correct checksums.
#include <QByteArray>

namespace nmeawalk {

struct Walk {
    double latitude = 35.6520566;   // decimal degrees, north positive
    double longitude = 139.761315;  // east positive
    double altitude = 40.5;         // metres
    double speed = 1.4;             // metres per second
    double heading = 45.0;          // degrees from north, clockwise
    double utcStart = 0;            // UTC time of day of second 0, seconds
    bool noFix = false;             // sentences of a receiver without a fix
};

// Where the walk is t seconds after its start (decimal degrees).
struct Place {
    double latitude;
    double longitude;
};
Place placeAt(const Walk& walk, double t);

// "*hh" checksum of the text between "$" and "*".
QByteArray checksum(const QByteArray& body);

// The GGA and RMC sentences (each ending CR LF) for second n of the walk:
// the place of that second, at time of day utcStart + n. Without a fix the
// position fields are empty, the quality 0 and the RMC status V.
QByteArray secondOf(const Walk& walk, int n);

} // namespace nmeawalk
