#pragma once
// Start-up without a display. A program's --help and --version must answer
// on a server, over ssh or in a packaging script, where the window
// toolkit's display plugin cannot load: such a request is answered with a
// console application, and a program that needs a window says in one line
// how to run it there instead of the toolkit's plugin error.

#include <QByteArray>

namespace headless {

// Whether the arguments ask for help or the version (-h, --help, -?,
// --help-all, -v, --version), which QCommandLineParser answers by itself.
bool asksHelpOrVersion(int argc, char** argv);

// Whether a window toolkit platform can start: one is chosen
// (QT_QPA_PLATFORM, -platform) or a display is named (DISPLAY,
// WAYLAND_DISPLAY, -display).
bool canShowWindows(int argc, char** argv);

// The line telling how to run `program` where no display is.
QByteArray noDisplayAdvice(const char* program);

}  // namespace headless
