#include "module/InitSequence.h"

#include "shell/Form1.h"

InitSequence::InitSequence(Form1& form) : QObject(&form), f(form) {}

void InitSequence::InitialTimer_Timer() {}
