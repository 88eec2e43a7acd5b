// Any bytes as the settings file, read at start-up by the window's own
// loader. Then the settings are saved and the saved file is loaded and saved
// once more: the second save must be byte-identical to the first, or a value
// did not survive its own file.
#include "WindowHarness.h"
#include "shell/SettingsFile.h"

#include <QApplication>
#include <QFile>
#include <cstdlib>

namespace {
WindowHarness* harness = nullptr;

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window lives for the whole process and is never torn down: the
    // toolkit cannot be destroyed at exit behind a live window.
    static QApplication* app = new QApplication(*argc, *argv);
    (void)app;
    harness = new WindowHarness;
    harness->start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Form1& f = harness->form();
    const QString ini = harness->settingsPath();
    writeBytes(ini, QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    f.settings->LoadSettings();
    f.settings->SaveSettings();
    const QByteArray first = fileBytes(ini);
    f.settings->LoadSettings();
    f.settings->SaveSettings();
    if (fileBytes(ini) != first)
        std::abort();
    return 0;
}
