// Any bytes as the settings file, read at start-up by the window's own
// loader. Then the settings are saved and the saved file is loaded and saved
// once more: the second save must be byte-identical to the first, or a value
// did not survive its own file.
#include "FuzzWindow.h"
#include "shell/SettingsFile.h"

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
    harness = startFuzzHarness(argc, argv);
    harness->start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Form1& f = harness->form();
    const QString ini = harness->settingsPath();
    writeBytes(ini, QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    inside(f).settings->LoadSettings();
    inside(f).settings->SaveSettings();
    const QByteArray first = fileBytes(ini);
    inside(f).settings->LoadSettings();
    inside(f).settings->SaveSettings();
    if (fileBytes(ini) != first)
        std::abort();
    return 0;
}
