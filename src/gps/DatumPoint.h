#pragma once
// Reading and setting the datum point, with its file.
#include <QObject>
#include <QString>

class Form1;

class DatumPoint : public QObject {
    Q_OBJECT
public:
    explicit DatumPoint(Form1& form);
    void Geten_ReadSW_Click();
    void Geten_SetSW_Click();

private:
    Form1& f;
};
