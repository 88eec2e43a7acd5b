#pragma once
// The program's version text ("0.900.5"), from the project's version.
#include <QString>

inline QString programVersion() {
    return QStringLiteral("%1.%2.%3").arg(QVX_VERSION_MAJOR).arg(QVX_VERSION_MINOR).arg(QVX_VERSION_PATCH);
}
