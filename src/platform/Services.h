#pragma once
// Everything the window takes from the platform, handed in by main() (real
// implementations) or by a test (virtual clock, fake ports, fake dialogs).
#include <QSize>
#include <QString>

class Clock;
class SerialPortFactory;
class PortEnumerator;
class SoundPlayer;
class Dialogs;

struct Services {
    Clock* clock = nullptr;
    SerialPortFactory* ports = nullptr;
    PortEnumerator* portList = nullptr;
    SoundPlayer* sound = nullptr;
    Dialogs* dialogs = nullptr;
    QString appDir;      // folder of the executable (settings, logs, sounds)
    QString soundDir;    // where a sound file missing from appDir is read (an install); empty: nowhere else
    QString baseName;    // executable's base name (settings file name)
    QSize screenTwips;   // available screen size in twips; empty: primary screen
};
