#include "looptest/ResultSounds.h"

#include "shell/Form1.h"

ResultSounds::ResultSounds(Form1& form) : QObject(&form), f(form) {}

void ResultSounds::PlaySuccessSound() {}

void ResultSounds::PlayFailureSound() {}
