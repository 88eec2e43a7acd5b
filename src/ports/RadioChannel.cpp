#include "ports/RadioChannel.h"

#include "shell/Form1.h"

RadioChannel::RadioChannel(Form1& form) : QObject(&form), f(form) {}

void RadioChannel::SendModuleCommand() {}

void RadioChannel::MSComm1_OnComm() {}
