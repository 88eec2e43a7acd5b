#include "ports/PortSelection.h"

#include "shell/Form1.h"

PortSelection::PortSelection(Form1& form) : QObject(&form), f(form) {}

void PortSelection::RefreshComPortList() {}

void PortSelection::ComSelectSW_Click() {}

void PortSelection::GPS_SelectSW_Click() {}

void PortSelection::Com_PortList_Click() {}
