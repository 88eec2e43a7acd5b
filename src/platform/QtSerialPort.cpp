#include "platform/QtSerialPort.h"

#include "platform/SourcePort.h"
#include "platform/PortDiagnosis.h"

#include <QMetaObject>
#include <QMutexLocker>
#include <QSerialPort>
#include <QTimer>

#include <chrono>
#include <thread>

#ifdef Q_OS_LINUX
#include <pthread.h>
#include <sched.h>
#endif

// Lives on the port's I/O thread and owns the QSerialPort there.
class QtSerialPortWorker : public QObject {
public:
    explicit QtSerialPortWorker(QtSerialPort& owner)
        : owner_(owner), port_(new QSerialPort(this)), timer_(new QTimer(this)) {
        timer_->setSingleShot(true);
        timer_->setTimerType(Qt::PreciseTimer);
        connect(timer_, &QTimer::timeout, this, &QtSerialPortWorker::writeWhenDue);
        connect(port_, &QSerialPort::readyRead, this, &QtSerialPortWorker::read);
        // A vanished device (cable pulled) leaves the port unusable: close it
        // so that isOpen() tells the truth and the next write fails. A device
        // that hangs up reports a read error instead, and keeps reporting it
        // on every turn of the event loop while the port stays open: closing
        // stops that busy loop too.
        connect(port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
            if ((e == QSerialPort::ResourceError || e == QSerialPort::ReadError) && port_->isOpen()) {
                timer_->stop();
                port_->close();
                // In the middle of a timed write the owner's lock is held:
                // told from this thread's loop then, right after it.
                if (writingTimed_)
                    QMetaObject::invokeMethod(this, [this] { owner_.portLost(); }, Qt::QueuedConnection);
                else
                    owner_.portLost();
            }
        });
    }

    bool open(const QString& name, qint32 baudRate) {
        if (port_->isOpen() || name.trimmed().isEmpty())
            return false;
        port_->setPortName(name);
        if (!port_->open(QIODevice::ReadWrite)) {
            // Read by the owner once this blocking call has returned.
            owner_.openFailure_ = portdiag::explain(portdiag::gather(name, port_->error(), port_->errorString()));
            return false;
        }
        if (!port_->setBaudRate(baudRate) || !port_->setDataBits(QSerialPort::Data8) ||
            !port_->setParity(QSerialPort::NoParity) || !port_->setStopBits(QSerialPort::OneStop) ||
            !port_->setFlowControl(QSerialPort::NoFlowControl)) {
            port_->close();
            return false;
        }
        QMutexLocker lock(&owner_.mutex_);
        owner_.open_ = true;
        return true;
    }

    void close() {
        timer_->stop();
        if (port_->isOpen())
            port_->close();
    }

    bool write(const QByteArray& data) {
        if (!port_->isOpen())
            return false;
        if (port_->write(data) != data.size())
            return false;
        // Hand the bytes to the driver now rather than at the next turn of
        // this thread's loop, so the response clock starts when the line is
        // on its way.
        port_->flush();
        return port_->error() == QSerialPort::NoError || port_->error() == QSerialPort::TimeoutError;
    }

    // A timed write was handed over: wake up a little before its instant.
    void arm(quint64 id, qint64 dueUs) {
        armedId_ = id;
        armedDueUs_ = dueUs;
        const qint64 lead = dueUs - owner_.clock_.microseconds() - kFineWaitUs;
        timer_->start(lead > 0 ? int(lead / 1000) : 0);
    }

private:
    // The last stretch before a write's instant is waited in short steps,
    // reading what arrives in between, so no arrival is stamped late by it.
    static constexpr qint64 kFineWaitUs = 2'000;
    static constexpr qint64 kStepUs = 100;

    void read() {
        // The instant first, then the bytes.
        const qint64 us = owner_.clock_.microseconds();
        const QByteArray bytes = port_->readAll();
        if (!bytes.isEmpty())
            owner_.arrived({bytes, us, SystemClock::millisecondsAt(us)});
    }

    void writeWhenDue() {
        for (qint64 left = armedDueUs_ - owner_.clock_.microseconds(); left > 0 && port_->isOpen();
             left = armedDueUs_ - owner_.clock_.microseconds()) {
            if (left > kFineWaitUs) {
                port_->waitForReadyRead(int((left - kFineWaitUs / 2) / 1000));
                continue;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(std::min(left, kStepUs)));
            port_->waitForReadyRead(0);
        }
        // Written with the owner's lock held, so a replacement or cancel
        // from the window's thread comes either before (and nothing of the
        // old lines goes out) or after (and the write is done).
        QMutexLocker lock(&owner_.mutex_);
        auto& timed = owner_.timed_;
        if (!timed || timed->id != armedId_ || timed->done)
            return;
        SerialPort::Written w;
        w.lines = timed->lines;
        writingTimed_ = true;
        for (const QByteArray& line : timed->lines) {
            if (!write(line))
                break;
            ++w.count;
        }
        writingTimed_ = false;
        w.us = owner_.clock_.microseconds();
        w.ms = SystemClock::millisecondsAt(w.us);
        timed->done = w;
        owner_.written_.wakeAll();
    }

    QtSerialPort& owner_;
    QSerialPort* port_;
    QTimer* timer_;
    quint64 armedId_ = 0;
    qint64 armedDueUs_ = 0;
    bool writingTimed_ = false;
};

QtSerialPort::QtSerialPort(QObject* parent) : SerialPort(parent), worker_(new QtSerialPortWorker(*this)) {
    worker_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("serial port"));
    thread_.start(QThread::TimeCriticalPriority);
#ifdef Q_OS_LINUX
    // A thread that only wakes for the port's bytes and instants: where the
    // system allows it, a low real-time priority, so that a busy machine
    // does not keep it waiting for a processor. Otherwise it runs as any
    // other thread.
    QMetaObject::invokeMethod(worker_, [] {
        sched_param p{};
        p.sched_priority = 10;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &p);
    });
#endif
}

QtSerialPort::~QtSerialPort() {
    close();
    QtSerialPortWorker* worker = worker_;
    QMetaObject::invokeMethod(worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

SerialPort* QtSerialPortFactory::createGpsPort(QObject* parent) { return new SourcePort(parent); }

bool QtSerialPort::open(const QString& name, qint32 baudRate) {
    openFailure_.clear();
    if (baudRate <= 0)
        return false;
    bool ok = false;
    QMetaObject::invokeMethod(worker_, [&] { ok = worker_->open(name, baudRate); }, Qt::BlockingQueuedConnection);
    return ok;
}

void QtSerialPort::close() {
    {
        // What was received and not read is dropped with the port, as the
        // port's own buffer is.
        QMutexLocker lock(&mutex_);
        open_ = false;
        dropTimedLocked();
        received_.clear();
        held_ = 0;
    }
    QMetaObject::invokeMethod(worker_, [this] { worker_->close(); }, Qt::BlockingQueuedConnection);
}

bool QtSerialPort::isOpen() const {
    QMutexLocker lock(&mutex_);
    return open_;
}

bool QtSerialPort::write(const QByteArray& data) {
    if (!isOpen())
        return false;
    bool ok = false;
    QMetaObject::invokeMethod(worker_, [&] { ok = worker_->write(data); }, Qt::BlockingQueuedConnection);
    return ok;
}

QByteArray QtSerialPort::readAll() {
    QMutexLocker lock(&mutex_);
    QByteArray all;
    for (const Received& r : received_)
        all += r.bytes;
    received_.clear();
    held_ = 0;
    return all;
}

SerialPort::Received QtSerialPort::readReceived() {
    QMutexLocker lock(&mutex_);
    if (received_.size() <= std::size_t(held_))
        return {};
    Received r = std::move(received_.front());
    received_.pop_front();
    return r;
}

void QtSerialPort::scheduleWrite(const QList<QByteArray>& lines, qint64 dueUs) {
    QMutexLocker lock(&mutex_);
    if (open_)
        handOverLocked(lines, dueUs);
}

SerialPort::Written QtSerialPort::writeAt(const QList<QByteArray>& lines, qint64 dueUs) {
    QMutexLocker lock(&mutex_);
    if (timed_ && timed_->done) {
        // It went out at its instant while this thread was busy.
        const Written w = *timed_->done;
        timed_.reset();
        releaseHeldLocked();
        return w;
    }
    Written failed;
    failed.lines = lines;
    if (!open_) {
        timed_.reset();
        failed.us = clock_.microseconds();
        failed.ms = SystemClock::millisecondsAt(failed.us);
        return failed;
    }
    if (!timed_ || timed_->lines != lines || timed_->dueUs != dueUs)
        handOverLocked(lines, dueUs);
    timed_->taken = true;
    const quint64 id = timed_->id;
    while (open_ && timed_ && timed_->id == id && !timed_->done)
        written_.wait(&mutex_);
    if (timed_ && timed_->id == id && timed_->done) {
        const Written w = *timed_->done;
        timed_.reset();
        return w;
    }
    // The port closed or vanished before the instant came.
    failed.us = clock_.microseconds();
    failed.ms = SystemClock::millisecondsAt(failed.us);
    return failed;
}

void QtSerialPort::cancelScheduledWrite() {
    QMutexLocker lock(&mutex_);
    dropTimedLocked();
}

void QtSerialPort::arrived(Received r) {
    QMutexLocker lock(&mutex_);
    if (!open_)
        return;
    // A flood that the window's thread has fallen far behind: what comes
    // joins the newest waiting arrival (its instant becomes this one's),
    // so the receive handler runs once per batch rather than once per
    // small read, as it does when it reads the port itself.
    if (received_.size() >= kJoinFrom) {
        Received& newest = received_.back();
        newest.bytes += r.bytes;
        newest.us = r.us;
        newest.ms = r.ms;
        return;
    }
    received_.push_back(std::move(r));
    // After a timed write that the window's thread has not taken yet, the
    // arrival waits for it; otherwise it is told at once. Told while the
    // lock is held, so the order of the window's readyReads is the order
    // of arrival.
    if (held_ > 0 || (timed_ && timed_->done && !timed_->taken))
        ++held_;
    else
        QMetaObject::invokeMethod(this, [this] { emit readyRead(); }, Qt::QueuedConnection);
}

void QtSerialPort::portLost() {
    QMutexLocker lock(&mutex_);
    if (!open_)
        return;   // closed on purpose meanwhile: nobody is to be told
    open_ = false;
    dropTimedLocked();
    QMetaObject::invokeMethod(this, [this] { emit lost(); }, Qt::QueuedConnection);
}

quint64 QtSerialPort::handOverLocked(const QList<QByteArray>& lines, qint64 dueUs) {
    timed_ = Timed{++nextId_, lines, dueUs, false, std::nullopt};
    const quint64 id = timed_->id;
    QtSerialPortWorker* worker = worker_;
    QMetaObject::invokeMethod(worker, [worker, id, dueUs] { worker->arm(id, dueUs); }, Qt::QueuedConnection);
    return id;
}

void QtSerialPort::releaseHeldLocked() {
    for (; held_ > 0; --held_)
        QMetaObject::invokeMethod(this, [this] { emit readyRead(); }, Qt::QueuedConnection);
}

void QtSerialPort::dropTimedLocked() {
    timed_.reset();
    releaseHeldLocked();
    written_.wakeAll();
}
