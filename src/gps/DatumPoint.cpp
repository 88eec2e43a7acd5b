#include "gps/DatumPoint.h"

#include "shell/Form1.h"

DatumPoint::DatumPoint(Form1& form) : QObject(&form), f(form) {}

void DatumPoint::Geten_ReadSW_Click() {}

void DatumPoint::Geten_SetSW_Click() {}
