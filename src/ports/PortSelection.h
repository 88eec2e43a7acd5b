#pragma once
// Port discovery and the shared port list of the two port boxes.
#include <QObject>
#include <QString>

class Form1;

class PortSelection : public QObject {
    Q_OBJECT
public:
    explicit PortSelection(Form1& form);
    void RefreshComPortList();
    void ComSelectSW_Click();
    void GPS_SelectSW_Click();
    void Com_PortList_Click();

private:
    Form1& f;
};
