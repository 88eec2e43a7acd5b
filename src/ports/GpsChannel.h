#pragma once
// The GPS port: opened and closed by GPS_On, received text appended to GpsBuffer.
#include <QObject>
#include <QString>

class Form1;

class GpsChannel : public QObject {
    Q_OBJECT
public:
    explicit GpsChannel(Form1& form);
    void GPS_On_Click();
    void MSComm2_OnComm();

private:
    Form1& f;
};
