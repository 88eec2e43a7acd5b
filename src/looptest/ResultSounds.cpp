#include "looptest/ResultSounds.h"

#include "form/Window.h"
#include "platform/Sound.h"

#include <QFileInfo>

// Playback is asynchronous and reports nothing: a missing file, or one that
// is there but cannot be played, gives the default beep; a machine without
// audio stays silent; the cycle goes on.
ResultSounds::ResultSounds(Window& window) : QObject(&window.form), f(window) {}

// Beside the settings file; an installed program falls back to the sound
// files of its install when the user has not put their own there.
QString ResultSounds::soundFile(const QString& name) const {
    const QString own = f.svc.appDir + QLatin1Char('/') + name;
    if (f.svc.soundDir.isEmpty() || QFileInfo::exists(own))
        return own;
    return f.svc.soundDir + QLatin1Char('/') + name;
}

void ResultSounds::PlaySuccessSound() {
    if (f.svc.sound)
        f.svc.sound->play(soundFile(QStringLiteral("COMP.wav")));
}

void ResultSounds::PlayFailureSound() {
    if (f.svc.sound)
        f.svc.sound->play(soundFile(QStringLiteral("NO_COMP.wav")));
}
