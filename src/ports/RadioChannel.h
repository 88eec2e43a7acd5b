#pragma once
// The radio port channel: SendModuleCommand and the receive handler of the
// radio port (byte rendering, hex dump, answer recognition and timing).
#include <QObject>
#include <QString>

class Form1;

class RadioChannel : public QObject {
    Q_OBJECT
public:
    explicit RadioChannel(Form1& form);
    void SendModuleCommand();
    void MSComm1_OnComm();

signals:
    // A write to the radio port failed; the run control stops the run.
    void writeFailed();

private:
    Form1& f;
};
