#pragma once
// Run start (the run buttons, BeginTestRun) and stop (StopTestRun, Timer1).
#include <QObject>
#include <QString>

class Form1;

class RunControl : public QObject {
    Q_OBJECT
public:
    explicit RunControl(Form1& form);
    void TestStartSW_Click(int index);
    void BeginTestRun();
    void StopTestRun();
    void Timer1_Timer();

private:
    Form1& f;
};
