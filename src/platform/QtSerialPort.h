#pragma once
// The real serial port, on QSerialPort, served by an I/O thread of its own:
// there each arrival is read and stamped on the microsecond clock the
// moment the port reports it, and timed writes go out at their instant,
// whatever the window's thread is doing. The window's thread gets the
// arrivals in order, one readyRead each, through its event queue.
#include "platform/SerialPort.h"
#include "platform/SystemClock.h"

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <deque>
#include <optional>

class QtSerialPortWorker;

class QtSerialPort : public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(QObject* parent = nullptr);
    ~QtSerialPort() override;
    bool open(const QString& name, qint32 baudRate) override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray& data) override;
    QByteArray readAll() override;
    QString openFailure() const override { return openFailure_; }
    Received readReceived() override;

    bool timedWrites() const override { return true; }
    void scheduleWrite(const QList<QByteArray>& lines, qint64 dueUs) override;
    Written writeAt(const QList<QByteArray>& lines, qint64 dueUs) override;
    void cancelScheduledWrite() override;

private:
    friend class QtSerialPortWorker;
    // A timed write, from its hand-over until writeAt() takes it.
    struct Timed {
        quint64 id = 0;
        QList<QByteArray> lines;
        qint64 dueUs = 0;
        bool taken = false;   // writeAt() waits for it
        std::optional<Written> done;
    };
    // Called on the I/O thread.
    void arrived(Received r);
    void portLost();
    // With mutex_ held.
    quint64 handOverLocked(const QList<QByteArray>& lines, qint64 dueUs);
    void releaseHeldLocked();
    void dropTimedLocked();

    // Arrivals waiting for the window's thread from which the next ones
    // are joined to the newest.
    static constexpr std::size_t kJoinFrom = 16;

    SystemClock clock_;   // same time base as the window's clock
    QThread thread_;
    QtSerialPortWorker* worker_;

    mutable QMutex mutex_;
    QWaitCondition written_;
    bool open_ = false;
    std::deque<Received> received_;
    int held_ = 0;        // newest arrivals not yet told (after an untaken timed write)
    std::optional<Timed> timed_;
    quint64 nextId_ = 0;
    QString openFailure_;   // why the last open failed, for the user
};

class QtSerialPortFactory : public SerialPortFactory {
public:
    SerialPort* createPort(QObject* parent) override { return new QtSerialPort(parent); }
    // A SourcePort: a serial port or a network source, by the name opened.
    SerialPort* createGpsPort(QObject* parent) override;
};
