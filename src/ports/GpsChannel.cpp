#include "ports/GpsChannel.h"

#include "shell/Form1.h"

GpsChannel::GpsChannel(Form1& form) : QObject(&form), f(form) {}

void GpsChannel::GPS_On_Click() {}

void GpsChannel::MSComm2_OnComm() {}
