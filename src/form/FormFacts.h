#pragma once
// Facts about the window that parts below the shell need without seeing
// the form itself: its start-up size and the program's version.
#include <QString>

// The window's size at start-up, twips (the resize rule and the settings
// file's position rule work from it).
constexpr int kStartWidthTwips = 13455;
constexpr int kStartHeightTwips = 10380;

// The program's version, "major.minor.revision", from the build.
inline QString versionText() {
    return QStringLiteral("%1.%2.%3").arg(QVX_VERSION_MAJOR).arg(QVX_VERSION_MINOR).arg(QVX_VERSION_PATCH);
}
