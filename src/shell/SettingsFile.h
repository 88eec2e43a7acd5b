#pragma once
// Reads the settings file into the controls at start-up and writes it from
// them at shutdown.
#include <QObject>
#include <QString>

class Form1;

class SettingsFile : public QObject {
    Q_OBJECT
public:
    explicit SettingsFile(Form1& form);
    void LoadSettings();
    void SaveSettings();
    QString path() const;

private:
    void applyPosition(bool top, const QString& value);
    Form1& f;
};
