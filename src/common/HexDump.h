#pragma once
#include <QByteArray>
#include <QString>

// Two upper-case hex digits and one blank per byte ("*DR=05" gives
// "2A 44 52 3D 30 35 ").
QString hexDump(const QByteArray& bytes);
