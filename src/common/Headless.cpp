#include "common/Headless.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstring>

namespace headless {

bool asksHelpOrVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--") == 0)
            return false;   // the rest are arguments, not options
        for (const char* flag : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(a, flag) == 0)
                return true;
    }
    return false;
}

bool canShowWindows(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    for (int i = 1; i < argc; ++i)
        for (const char* flag : {"-platform", "--platform", "-display", "--display"})
            if (std::strcmp(argv[i], flag) == 0)
                return true;
    return false;
}

QByteArray noDisplayAdvice(const char* program) {
    const QByteArray name(program);
    return name + ": no display to open the window on (DISPLAY is not set); run it under a virtual X server, "
                  "for example: xvfb-run -a " + name + " [options]";
}

}  // namespace headless
