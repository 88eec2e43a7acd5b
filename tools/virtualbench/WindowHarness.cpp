#include "WindowHarness.h"

WindowHarness::WindowHarness(QSize screenPixels) {
    services.clock = &clock;
    services.ports = &ports;
    services.portList = &portList;
    services.sound = &sound;
    services.dialogs = &dialogs;
    services.appDir = dir_.path();
    services.baseName = QStringLiteral("qvx-loopback");
    services.screenTwips = screenPixels * 15;
}

WindowHarness::~WindowHarness() { close(); }

Form1& WindowHarness::start() {
    form_ = std::make_unique<Form1>(services);
    form_->show();
    return *form_;
}

void WindowHarness::close() {
    if (!form_)
        return;
    form_->close();
    form_.reset();
}
