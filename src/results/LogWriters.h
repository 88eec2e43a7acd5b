#pragma once
// The communication log and the two map logs, on screen and on disk.
#include <QObject>
#include <QString>

class Form1;

class LogWriters : public QObject {
    Q_OBJECT
public:
    explicit LogWriters(Form1& form);
    void AppendCommLog(const QString& text);
    void AppendMapCsv(const QString& text);
    void AppendMapLog(const QString& text);

private:
    Form1& f;
};
