#include "NmeaSink.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

class PtySink : public NmeaSink {
public:
    PtySink(int master, int slave, QString path, const volatile std::sig_atomic_t& stopping)
        : master_(master), slave_(slave), path_(std::move(path)), stopping_(stopping) {}
    ~PtySink() override {
        ::close(slave_);
        ::close(master_);
    }
    QString name() const override { return path_; }
    // Writes all of data; a reader that is not there yet is waited for (the
    // slave is kept open here, so writes fill the terminal's buffer).
    bool write(const char* data, size_t n) override {
        while (n > 0 && !stopping_) {
            const ssize_t w = ::write(master_, data, n);
            if (w < 0) {
                if (errno == EINTR) continue;
                if (errno == EAGAIN) { std::this_thread::sleep_for(std::chrono::milliseconds(5)); continue; }
                return false;
            }
            data += w;
            n -= static_cast<size_t>(w);
        }
        return true;
    }

private:
    int master_;
    int slave_;
    QString path_;
    const volatile std::sig_atomic_t& stopping_;
};

class TcpSink : public NmeaSink {
public:
    QString name() const override { return QStringLiteral("tcp://localhost:%1").arg(server_.serverPort()); }
    bool listen(quint16 port) { return server_.listen(QHostAddress::Any, port); }
    QString error() const { return server_.errorString(); }

    bool ready(const volatile std::sig_atomic_t& stopping) override {
        while (clients_.isEmpty() && !stopping) {
            server_.waitForNewConnection(100);
            acceptPending();
        }
        return !stopping;
    }

    bool write(const char* data, size_t n) override {
        acceptPending();
        for (qsizetype i = clients_.size() - 1; i >= 0; --i) {
            QTcpSocket* c = clients_[i];
            c->write(data, static_cast<qint64>(n));
            c->flush();
            if (c->state() != QAbstractSocket::ConnectedState) {   // the client went
                clients_.removeAt(i);
                delete c;
            }
        }
        return true;
    }

    void finish() override {
        for (QTcpSocket* c : clients_) {
            c->waitForBytesWritten(1000);
            c->disconnectFromHost();
        }
    }

    ~TcpSink() override { qDeleteAll(clients_); }

private:
    void acceptPending() {
        while (QTcpSocket* c = server_.nextPendingConnection()) {
            c->setParent(nullptr);
            clients_.append(c);
        }
    }
    QTcpServer server_;
    QList<QTcpSocket*> clients_;
};

class UdpSink : public NmeaSink {
public:
    UdpSink(QHostAddress to, quint16 port) : to_(std::move(to)), port_(port) {}
    QString name() const override { return QStringLiteral("udp://:%1").arg(port_); }

    bool write(const char* data, size_t n) override {
        line_.append(data, static_cast<qsizetype>(n));
        for (qsizetype end = line_.indexOf('\n'); end >= 0; end = line_.indexOf('\n')) {
            send(line_.left(end + 1));
            line_.remove(0, end + 1);
        }
        return true;
    }
    void finish() override {
        if (!line_.isEmpty()) send(line_);
        line_.clear();
    }

private:
    // Nobody listening is no failure: the datagram is simply lost, as on
    // any network.
    void send(const QByteArray& datagram) { socket_.writeDatagram(datagram, to_, port_); }
    QUdpSocket socket_;
    QHostAddress to_;
    quint16 port_;
    QByteArray line_;
};

} // namespace

std::unique_ptr<NmeaSink> makePtySink(const volatile std::sig_atomic_t& stopping) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) { std::perror("qvx-nmea: pty"); return nullptr; }
    const char* slaveName = ::ptsname(master);
    // The slave stays open here: its raw settings hold, and writes do not
    // fail while the program under test has not opened it yet.
    const int slave = ::open(slaveName, O_RDWR | O_NOCTTY);
    if (slave < 0) { std::perror("qvx-nmea: slave"); return nullptr; }
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
    // Writes to the terminal never block: a full terminal (nobody reading)
    // is waited for in short sleeps that look at the stop request, so a
    // SIGTERM ends the program at once, whatever the reader does.
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    return std::make_unique<PtySink>(master, slave, QString::fromLocal8Bit(slaveName), stopping);
}

std::unique_ptr<NmeaSink> makeTcpSink(quint16 port) {
    auto sink = std::make_unique<TcpSink>();
    if (!sink->listen(port)) {
        std::fprintf(stderr, "qvx-nmea: cannot serve TCP port %u: %s\n", port, qPrintable(sink->error()));
        return nullptr;
    }
    return sink;
}

std::unique_ptr<NmeaSink> makeUdpSink(const QString& hostAndPort) {
    const qsizetype colon = hostAndPort.lastIndexOf(u':');
    bool ok = false;
    const uint port = colon > 0 ? hostAndPort.mid(colon + 1).toUInt(&ok) : 0;
    if (!ok || port < 1 || port > 65535) {
        std::fprintf(stderr, "qvx-nmea: --udp wants HOST:PORT\n");
        return nullptr;
    }
    QString host = hostAndPort.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
    QHostAddress to;
    if (!to.setAddress(host)) {
        const QHostInfo info = QHostInfo::fromName(host);
        if (info.addresses().isEmpty()) {
            std::fprintf(stderr, "qvx-nmea: unknown host %s\n", qPrintable(host));
            return nullptr;
        }
        to = info.addresses().first();
    }
    return std::make_unique<UdpSink>(to, static_cast<quint16>(port));
}
