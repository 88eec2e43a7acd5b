#pragma once
// Where the feeder's sentences go: a pseudo-terminal (a receiver on a
// serial port), the clients of a TCP server, or UDP datagrams. Each sink
// names itself by what the GPS port box takes to read it. Used from a plain
// blocking loop, without an event loop.
#include <QByteArray>
#include <QString>

#include <csignal>
#include <memory>

class NmeaSink {
public:
    virtual ~NmeaSink() = default;
    // The pty's path, "tcp://localhost:PORT" or "udp://:PORT".
    virtual QString name() const = 0;
    // Blocks until there is somebody to send to (a TCP server's first
    // client); false when stopped first.
    virtual bool ready(const volatile std::sig_atomic_t& stopping) { (void)stopping; return true; }
    // Sends the bytes; false when the sink is broken for good.
    virtual bool write(const char* data, size_t n) = 0;
    // Sends what is held back (a UDP sink's unfinished line).
    virtual void finish() {}
};

// Each returns nothing and prints why on stderr when it cannot be made.
// The terminal's writes wait for a reader until stopping is set.
std::unique_ptr<NmeaSink> makePtySink(const volatile std::sig_atomic_t& stopping);
// A server on every address at port (0: a free one); the stream starts
// when the first client connects, later clients join it as it goes.
std::unique_ptr<NmeaSink> makeTcpSink(quint16 port);
// One datagram per sentence (each line with its line end) to host:port.
std::unique_ptr<NmeaSink> makeUdpSink(const QString& hostAndPort);
