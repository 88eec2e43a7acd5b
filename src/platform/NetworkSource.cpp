#include "platform/NetworkSource.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

namespace netsource {
namespace {
struct Scheme {
    const char* prefix;
    Kind kind;
};
constexpr Scheme kSchemes[] = {{"gpsd://", Kind::Gpsd}, {"tcp://", Kind::Tcp}, {"udp://", Kind::Udp}};

// gpsd answers a client's request for its NMEA mode with the receiver's
// sentences as they come, between its own JSON reports.
constexpr char kWatchNmea[] = "?WATCH={\"enable\":true,\"nmea\":true}\n";
constexpr char kVersionClass[] = "\"class\":\"VERSION\"";
// The greeting is known by its first bytes; a longer JSON line is not kept.
constexpr qsizetype kJsonKept = 128;

std::optional<quint16> portNumber(const QString& text) {
    if (text.isEmpty() || text.size() > 5) return std::nullopt;
    for (QChar c : text)
        if (c < u'0' || c > u'9') return std::nullopt;
    const int n = text.toInt();
    if (n < 1 || n > 65535) return std::nullopt;
    return static_cast<quint16>(n);
}
} // namespace

bool isSourceName(const QString& name) {
    const QString n = name.trimmed();
    for (const Scheme& s : kSchemes)
        if (n.startsWith(QLatin1String(s.prefix), Qt::CaseInsensitive)) return true;
    return false;
}

std::optional<Address> parse(const QString& name) {
    const QString n = name.trimmed();
    for (const Scheme& s : kSchemes) {
        const QLatin1String prefix(s.prefix);
        if (!n.startsWith(prefix, Qt::CaseInsensitive)) continue;
        QString rest = n.mid(prefix.size());
        if (rest.endsWith(u'/')) rest.chop(1);
        Address a;
        a.kind = s.kind;
        QString portText;
        bool hasPort = false;
        if (rest.startsWith(u'[')) {             // [IPv6 address]:port
            const qsizetype close = rest.indexOf(u']');
            if (close < 0) return std::nullopt;
            a.host = rest.mid(1, close - 1);
            const QString after = rest.mid(close + 1);
            if (!after.isEmpty()) {
                if (!after.startsWith(u':')) return std::nullopt;
                hasPort = true;
                portText = after.mid(1);
            }
        } else {
            if (rest.count(u':') > 1 || rest.contains(u'/') || rest.contains(u' ')) return std::nullopt;
            const qsizetype colon = rest.indexOf(u':');
            a.host = colon < 0 ? rest : rest.left(colon);
            if (colon >= 0) {
                hasPort = true;
                portText = rest.mid(colon + 1);
            }
        }
        if (hasPort) {
            const auto port = portNumber(portText);
            if (!port) return std::nullopt;
            a.port = *port;
        }
        switch (a.kind) {
        case Kind::Gpsd:
            if (a.host.isEmpty()) a.host = QStringLiteral("localhost");
            if (!hasPort) a.port = kGpsdPort;
            break;
        case Kind::Tcp:
            if (a.host.isEmpty() || !hasPort) return std::nullopt;
            break;
        case Kind::Udp:
            if (!hasPort) return std::nullopt;
            break;
        }
        return a;
    }
    return std::nullopt;
}

QByteArray GpsdFilter::take(const QByteArray& bytes) {
    QByteArray out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        if (atLineStart_) {
            inJson_ = c == '{';
            json_.clear();
        }
        if (inJson_) {
            if (json_.size() < kJsonKept) {
                json_ += c;
                if (!greeted_ && json_.contains(kVersionClass)) greeted_ = true;
            }
        } else {
            out += c;
        }
        atLineStart_ = c == '\n';
    }
    return out;
}

bool gpsdAnswers(const QString& host, quint16 port, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QTcpSocket socket;
    socket.connectToHost(host, port);
    if (!socket.waitForConnected(timeoutMs)) return false;
    GpsdFilter filter;
    while (!filter.greeted()) {
        const int left = timeoutMs - static_cast<int>(clock.elapsed());
        if (left <= 0 || !socket.waitForReadyRead(left)) return false;
        filter.take(socket.readAll());
    }
    return true;
}

QString gpsdEntry(const QString& host, quint16 port) {
    const QString address = QStringLiteral("%1:%2").arg(host.contains(u':') ? u'[' + host + u']' : host).arg(port);
    return QStringLiteral("gpsd (gpsd://%1) , %1").arg(address);
}

} // namespace netsource

NetworkSourcePort::NetworkSourcePort(QObject* parent) : SerialPort(parent), answerTimer_(new QTimer(this)) {
    answerTimer_->setSingleShot(true);
    connect(answerTimer_, &QTimer::timeout, this, &NetworkSourcePort::fail);
}

NetworkSourcePort::~NetworkSourcePort() { close(); }

bool NetworkSourcePort::open(const QString& name, qint32 /*baudRate: a network source has none*/) {
    if (open_) return false;
    const auto address = netsource::parse(name);
    if (!address) return false;
    ++generation_;
    rx_.clear();
    filter_ = netsource::GpsdFilter();
    gpsd_ = address->kind == netsource::Kind::Gpsd;

    if (address->kind == netsource::Kind::Udp) {
        QHostAddress bindTo(QHostAddress::Any);
        if (address->host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
            bindTo = QHostAddress(QHostAddress::LocalHost);
        else if (!address->host.isEmpty() && !bindTo.setAddress(address->host))
            return false;
        udp_ = new QUdpSocket(this);
        // A port another program holds fails, as a busy serial port does.
        if (!udp_->bind(bindTo, address->port, QAbstractSocket::DontShareAddress)) {
            delete udp_;
            udp_ = nullptr;
            return false;
        }
        connect(udp_, &QUdpSocket::readyRead, this, &NetworkSourcePort::onDatagrams);
        open_ = true;
        return true;
    }

    tcp_ = new QTcpSocket(this);
    connect(tcp_, &QTcpSocket::connected, this, &NetworkSourcePort::onConnected);
    connect(tcp_, &QTcpSocket::readyRead, this, &NetworkSourcePort::onTcpData);
    // Refused, unreachable, reset or closed by the far end: all the same to
    // the user, the source is gone.
    connect(tcp_, &QTcpSocket::errorOccurred, this, &NetworkSourcePort::fail);
    connect(tcp_, &QTcpSocket::disconnected, this, &NetworkSourcePort::fail);
    open_ = true;
    answerTimer_->start(kAnswerTimeoutMs);
    tcp_->connectToHost(address->host, address->port);
    return true;
}

void NetworkSourcePort::onConnected() {
    if (!gpsd_) {
        answerTimer_->stop();
        return;
    }
    // gpsd still has to greet within the time left.
    tcp_->write(netsource::kWatchNmea);
}

void NetworkSourcePort::onTcpData() {
    const QByteArray bytes = tcp_->readAll();
    if (!gpsd_) {
        deliver(bytes);
        return;
    }
    const QByteArray sentences = filter_.take(bytes);
    if (filter_.greeted()) answerTimer_->stop();
    deliver(sentences);
}

void NetworkSourcePort::onDatagrams() {
    QByteArray bytes;
    while (udp_->hasPendingDatagrams())
        bytes += udp_->receiveDatagram().data();
    deliver(bytes);
}

void NetworkSourcePort::deliver(const QByteArray& bytes) {
    if (bytes.isEmpty() || !open_) return;
    rx_ += bytes;
    emit readyRead();
}

void NetworkSourcePort::fail() {
    if (!open_) return;
    close();
    const quint64 failed = generation_;
    QMetaObject::invokeMethod(this, [this, failed] {
        // Reopened since: the report belongs to a connection that is gone.
        if (generation_ == failed && !open_) emit lost();
    }, Qt::QueuedConnection);
}

void NetworkSourcePort::close() {
    answerTimer_->stop();
    if (tcp_) {
        QTcpSocket* socket = tcp_;
        tcp_ = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    if (udp_) {
        QUdpSocket* socket = udp_;
        udp_ = nullptr;
        socket->disconnect(this);
        socket->close();
        socket->deleteLater();
    }
    open_ = false;
    rx_.clear();
}

bool NetworkSourcePort::write(const QByteArray& data) {
    if (!open_ || !tcp_ || tcp_->state() != QAbstractSocket::ConnectedState) return false;
    return tcp_->write(data) == data.size();
}

QByteArray NetworkSourcePort::readAll() {
    QByteArray out;
    out.swap(rx_);
    return out;
}
