#include "looptest/ResultSounds.h"

#include "platform/Sound.h"

#include <QFileInfo>

// Playback is asynchronous and reports nothing: a missing file, or one that
// is there but cannot be played, gives the default beep; a machine without
// audio stays silent; the cycle goes on.
ResultSounds::ResultSounds(const SoundsView& view, QObject* parent) : QObject(parent), f(view) {}

// Beside the settings file; an installed program falls back to the sound
// files of its install when the user has not put their own there.
QString ResultSounds::soundFile(const QString& name) const {
    const QString own = f.appDir + QLatin1Char('/') + name;
    if (f.soundDir.isEmpty() || QFileInfo::exists(own))
        return own;
    return f.soundDir + QLatin1Char('/') + name;
}

void ResultSounds::PlaySuccessSound() {
    if (f.sound)
        f.sound->play(soundFile(QStringLiteral("COMP.wav")));
}

void ResultSounds::PlayFailureSound() {
    if (f.sound)
        f.sound->play(soundFile(QStringLiteral("NO_COMP.wav")));
}
