#include "PtyServer.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

PtyServer::PtyServer(QObject* parent) : QObject(parent) {}

PtyServer::~PtyServer() { close(); }

bool PtyServer::fail(const char* what) {
    error_ = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
    close();
    return false;
}

bool PtyServer::open(const QString& link) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return fail("posix_openpt");
    if (grantpt(master_) != 0)
        return fail("grantpt");
    if (unlockpt(master_) != 0)
        return fail("unlockpt");
    const char* name = ptsname(master_);
    if (!name)
        return fail("ptsname");
    slavePath_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0)
        return fail("open slave");
    // Raw bytes both ways: no echo, no CR/LF translation, no line editing.
    termios tio{};
    if (tcgetattr(slave_, &tio) != 0)
        return fail("tcgetattr");
    cfmakeraw(&tio);
    if (tcsetattr(slave_, TCSANOW, &tio) != 0)
        return fail("tcsetattr");
    const int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");
    if (!link.isEmpty()) {
        QFile::remove(link);
        if (::symlink(name, QFile::encodeName(link).constData()) != 0)
            return fail("symlink");
        link_ = link;
    }
    notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &PtyServer::onReadable);
    return true;
}

void PtyServer::onReadable() {
    char buf[4096];
    const ssize_t n = ::read(master_, buf, sizeof buf);
    // EIO: no slave open at the moment; EAGAIN: nothing after all.
    if (n > 0)
        emit received(QByteArray(buf, int(n)));
}

void PtyServer::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            // The slave's input queue is full (nobody reading): the rest is
            // lost, as on a serial line with a closed port.
            break;
        }
    }
}

void PtyServer::close() {
    if (notifier_) {
        // May run inside the notifier's own signal: delete it later.
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
    if (!link_.isEmpty())
        QFile::remove(link_);
    link_.clear();
}
