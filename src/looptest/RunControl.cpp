#include "looptest/RunControl.h"

#include "shell/Form1.h"

RunControl::RunControl(Form1& form) : QObject(&form), f(form) {}

void RunControl::TestStartSW_Click(int index) {}

void RunControl::BeginTestRun() {}

void RunControl::StopTestRun() {}

void RunControl::Timer1_Timer() {}
