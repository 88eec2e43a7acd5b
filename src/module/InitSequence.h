#pragma once
// The module initialisation sequence, one step per InitialTimer tick.
#include <QObject>
#include <QString>

class Form1;

class InitSequence : public QObject {
    Q_OBJECT
public:
    explicit InitSequence(Form1& form);
    void InitialTimer_Timer();

private:
    Form1& f;
};
