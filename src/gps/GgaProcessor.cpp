#include "gps/GgaProcessor.h"

#include "shell/Form1.h"

GgaProcessor::GgaProcessor(Form1& form) : QObject(&form), f(form) {}

void GgaProcessor::GPSTimer_Timer() {}
