#include "PtyServer.h"

#include "SimModule.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr qsizetype kMaxBacklog = 64 * 1024 * 1024;   // beyond this, output is dropped
}

PtyServer::PtyServer(SimModule& module, QObject* parent) : QObject(parent), module_(module) {
    connect(&module_, &SimModule::toHost, this, &PtyServer::writeMaster);
    connect(&module_, &SimModule::unplug, this, &PtyServer::close);
}

PtyServer::~PtyServer() { close(); }

bool PtyServer::open(QString* error) {
    const auto fail = [&](const char* what) {
        *error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        close();
        return false;
    };
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return fail("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0)
        return fail("grantpt/unlockpt");
    const char* name = ptsname(master_);
    if (!name)
        return fail("ptsname");
    slavePath_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0)
        return fail("open slave");
    termios t{};
    if (tcgetattr(slave_, &t) != 0)
        return fail("tcgetattr");
    cfmakeraw(&t);
    cfsetispeed(&t, B19200);
    cfsetospeed(&t, B19200);
    if (tcsetattr(slave_, TCSANOW, &t) != 0)
        return fail("tcsetattr");
    const int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");
    readNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &PtyServer::readMaster);
    writeNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &PtyServer::flushOut);
    return true;
}

void PtyServer::close() {
    delete readNotifier_;
    readNotifier_ = nullptr;
    delete writeNotifier_;
    writeNotifier_ = nullptr;
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
    master_ = slave_ = -1;
    out_.clear();
}

void PtyServer::readMaster() {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            module_.hostBytes(QByteArray(buf, static_cast<int>(n)));
            if (master_ < 0)
                return;   // unplugged meanwhile
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: all read. EIO cannot happen while our own slave is open.
        return;
    }
}

void PtyServer::writeMaster(const QByteArray& bytes) {
    if (master_ < 0)
        return;
    if (out_.size() + bytes.size() > kMaxBacklog)
        return;   // nobody reads: a real module's buffer overflows too
    out_ += bytes;
    flushOut();
}

void PtyServer::flushOut() {
    while (!out_.isEmpty() && master_ >= 0) {
        const ssize_t n = ::write(master_, out_.constData(), static_cast<size_t>(out_.size()));
        if (n > 0) {
            out_.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;   // EAGAIN: the terminal's buffer is full; wait for room
    }
    if (writeNotifier_)
        writeNotifier_->setEnabled(!out_.isEmpty());
}
