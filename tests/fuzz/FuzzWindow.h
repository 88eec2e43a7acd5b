#pragma once
// Start-up shared by the fuzz targets that drive the window: the toolkit,
// offscreen, and a window harness, both for the whole process and never torn
// down (the toolkit cannot be destroyed at exit behind a live window).
#include "WindowHarness.h"

#include <QApplication>

inline WindowHarness* startFuzzHarness(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(*argc, *argv);
    (void)app;
    return new WindowHarness;
}
