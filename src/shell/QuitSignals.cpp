#include "shell/QuitSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <cstdlib>
#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int pipeFds[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int signo) {
    // Only async-signal-safe calls here.
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[0], &byte, 1);
    errno = saved;
}

} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    std::signal(SIGPIPE, SIG_IGN);
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeFds) != 0)
        return;
    ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    notifier_ = new QSocketNotifier(pipeFds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::readPipe);
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kSignals)
        ::sigaction(s, &sa, nullptr);
}

QuitSignals::~QuitSignals() {
    for (int s : kSignals)
        std::signal(s, SIG_DFL);
}

void QuitSignals::readPipe() {
    unsigned char byte = 0;
    if (::read(pipeFds[1], &byte, 1) != 1 || told_)
        return;
    told_ = true;
    // From here the next signal acts as it always does.
    for (int s : kSignals)
        std::signal(s, SIG_DFL);
    emit received(byte);
}

#else
// Elsewhere the window system's own end-of-session close reaches the window.
QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {}
QuitSignals::~QuitSignals() = default;
void QuitSignals::readPipe() {}
#endif

namespace {
std::function<void()>& exitClose() {
    static std::function<void()> close;
    return close;
}
void onExit() {
    // Taken out first: whatever the close does, it runs once.
    const std::function<void()> close = std::exchange(exitClose(), nullptr);
    if (close)
        close();
}
} // namespace

void QuitSignals::armExitClose(std::function<void()> close) {
    static const bool registered = std::atexit(onExit) == 0;
    Q_UNUSED(registered);
    exitClose() = std::move(close);
}

void QuitSignals::disarmExitClose() { exitClose() = nullptr; }

QString QuitSignals::name(int signo) {
    switch (signo) {
    case SIGTERM: return QStringLiteral("SIGTERM");
    case SIGINT: return QStringLiteral("SIGINT");
#ifdef SIGHUP
    case SIGHUP: return QStringLiteral("SIGHUP");
#endif
    default: return QStringLiteral("signal %1").arg(signo);
    }
}
