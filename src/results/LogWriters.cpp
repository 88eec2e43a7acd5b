#include "results/LogWriters.h"

#include "shell/Form1.h"

LogWriters::LogWriters(Form1& form) : QObject(&form), f(form) {}

void LogWriters::AppendCommLog(const QString& text) {}

void LogWriters::AppendMapCsv(const QString& text) {}

void LogWriters::AppendMapLog(const QString& text) {}
