#include "shell/FieldRules.h"

#include "shell/Form1.h"

FieldRules::FieldRules(Form1& form) : QObject(&form), f(form) {}
