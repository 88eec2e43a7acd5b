#pragma once
// The window tests' GPS receiver at the worked position: a fake device on
// COM9, GPS使用 on, one GGA sentence in, its latitude shown.
#include "WindowHarness.h"

#include <QtTest>

inline void gpsOnAtWorkedPosition(WindowHarness& h) {
    FakeDevice* gps = h.ports.addDevice(QStringLiteral("COM9"));
    inside(h.form()).ui.GPS_Port->setText(QStringLiteral("COM9"));
    inside(h.form()).ui.GPS_On->setChecked(true);
    gps->send("$GPGGA,023000.00,3539.1234,N,13945.6789,E,1,08,0.9,40.5,M,39.2,M,,*57\r\n");
    h.advance(100);
    QCOMPARE(inside(h.form()).ui.NposGmap->text(), QStringLiteral(" 35.6520566"));
}
