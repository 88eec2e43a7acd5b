#include "looptest/TestCycle.h"

#include "shell/Form1.h"

TestCycle::TestCycle(Form1& form) : QObject(&form), f(form) {}

void TestCycle::Tx_Timer_Timer() {}
