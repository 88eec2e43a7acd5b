#include "shell/SettingsFile.h"

#include "shell/Form1.h"

SettingsFile::SettingsFile(Form1& form) : QObject(&form), f(form) {}

void SettingsFile::LoadSettings() {}

void SettingsFile::SaveSettings() {}
