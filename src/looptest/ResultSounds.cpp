#include "looptest/ResultSounds.h"

#include "platform/Sound.h"
#include "shell/Form1.h"

// Playback is asynchronous and reports nothing: a missing file, or one that
// is there but cannot be played, gives the default beep; a machine without
// audio stays silent; the cycle goes on.
ResultSounds::ResultSounds(Form1& form) : QObject(&form), f(form) {}

void ResultSounds::PlaySuccessSound() {
    if (f.svc.sound)
        f.svc.sound->play(f.svc.appDir + QStringLiteral("/COMP.wav"));
}

void ResultSounds::PlayFailureSound() {
    if (f.svc.sound)
        f.svc.sound->play(f.svc.appDir + QStringLiteral("/NO_COMP.wav"));
}
