#pragma once
// Form1 with every platform seam replaced: a virtual clock, fake serial
// devices, fake dialogs and sound, a temporary folder as the executable's
// folder. Create files in dir() (a settings file, say) before start().
#include "FakeSerialPort.h"
#include "FakeServices.h"
#include "VirtualClock.h"
#include "FormInside.h"

#include <QTemporaryDir>
#include <memory>

class WindowHarness {
public:
    // Screen of 1920 x 1080 pixels unless told otherwise.
    explicit WindowHarness(QSize screenPixels = QSize(1920, 1080));
    ~WindowHarness();

    Form1& start();               // creates (and shows) the window
    void close();                 // closes it (shutdown sequence) and destroys it
    Form1& form() { return *form_; }
    Form1* operator->() { return form_.get(); }

    QString dir() const { return dir_.path(); }
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString settingsPath() const { return path(QStringLiteral("qvx-loopback.ini")); }
    void advance(qint64 ms) { clock.advance(ms); }

    VirtualClock clock;
    FakeSerialPortFactory ports{&clock};
    FakePortEnumerator portList;
    FakeSound sound;
    FakeDialogs dialogs;
    Services services;

private:
    QTemporaryDir dir_;
    std::unique_ptr<Form1> form_;
};
