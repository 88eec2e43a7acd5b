#pragma once
// Time between two readings of the 32-bit millisecond counter. The counter
// wraps (after about 49.7 days, and it reads negative for half of that
// time as a signed value), so the difference is taken modulo 2^32: it is
// always a non-negative count, exact across either wrap point.
#include <QtGlobal>

inline qint64 elapsedMs(qint32 now, qint32 since) {
    return qint64(quint32(now) - quint32(since));
}
