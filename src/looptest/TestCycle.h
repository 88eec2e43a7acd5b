#pragma once
// The test cycle: the tick handler of Tx_Timer.
#include <QObject>
#include <QString>

class Form1;

class TestCycle : public QObject {
    Q_OBJECT
public:
    explicit TestCycle(Form1& form);
    void Tx_Timer_Timer();

private:
    Form1& f;
};
