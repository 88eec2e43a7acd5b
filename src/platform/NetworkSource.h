#pragma once
// GPS sources on the network, opened by name in the GPS port box like a
// serial port:
//   gpsd://HOST:PORT    a gpsd daemon (default localhost:2947), read in its
//                       NMEA mode: only the receiver's sentences are passed
//                       on, gpsd's own JSON reports are dropped
//   tcp://HOST:PORT     NMEA sentences from a TCP server (a phone sharing
//                       its receiver, a serial-to-network bridge)
//   udp://[HOST]:PORT   NMEA sentences in UDP datagrams, received on PORT
//                       (on HOST's address when given, else on every one)
// The speed handed to open() is ignored. A source that does not answer
// (refused, unreachable, a gpsd that never greets) or drops the connection
// later reports itself lost, as a vanished serial device does.
#include "platform/SerialPort.h"

#include <optional>

class QTcpSocket;
class QTimer;
class QUdpSocket;

namespace netsource {

enum class Kind { Gpsd, Tcp, Udp };

struct Address {
    Kind kind = Kind::Tcp;
    QString host;       // empty for a UDP source listening on every address
    quint16 port = 0;
};

constexpr quint16 kGpsdPort = 2947;

// True when the name is meant as a network source (it starts with one of
// the three schemes, in any case): such a name never opens a serial port.
bool isSourceName(const QString& name);
// The source a name states; nothing for a malformed one (no port where one
// is needed, a port out of range, a stray colon).
std::optional<Address> parse(const QString& name);

// gpsd's output reduced to what a receiver on a serial port would have
// sent: lines that start with "{" (gpsd's JSON) are dropped, every other
// byte goes through unchanged and as soon as it arrives.
class GpsdFilter {
public:
    QByteArray take(const QByteArray& bytes);
    // gpsd's greeting (its VERSION report) has been seen.
    bool greeted() const { return greeted_; }

private:
    bool atLineStart_ = true;
    bool inJson_ = false;
    bool greeted_ = false;
    QByteArray json_;   // the start of the JSON line being dropped
};

// Whether a gpsd greets a client at host:port within timeoutMs (the whole
// check; a closed port fails at once). Blocks the caller at most that long.
bool gpsdAnswers(const QString& host, quint16 port, int timeoutMs);
// The port list entry of a gpsd: "gpsd (gpsd://host:port) , host:port".
QString gpsdEntry(const QString& host, quint16 port);

} // namespace netsource

class NetworkSourcePort : public SerialPort {
    Q_OBJECT
public:
    // Time a TCP or gpsd source has to connect (and gpsd to greet).
    static constexpr int kAnswerTimeoutMs = 5000;

    explicit NetworkSourcePort(QObject* parent = nullptr);
    ~NetworkSourcePort() override;
    // True at once for a well-formed name (the connection is made in the
    // background; failing to make it reports the port lost); false for a
    // malformed name or a UDP port that cannot be bound.
    bool open(const QString& name, qint32 baudRate) override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool write(const QByteArray& data) override;
    QByteArray readAll() override;

private:
    void onConnected();
    void onTcpData();
    void onDatagrams();
    void deliver(const QByteArray& bytes);
    // The source failed: closed now, lost() reported from the event loop
    // (never from inside open()).
    void fail();
    bool open_ = false;
    bool gpsd_ = false;
    quint64 generation_ = 0;   // tells late reports of an earlier connection apart
    QTcpSocket* tcp_ = nullptr;
    QUdpSocket* udp_ = nullptr;
    QTimer* answerTimer_ = nullptr;
    netsource::GpsdFilter filter_;
    QByteArray rx_;
};
