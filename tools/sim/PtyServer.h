#pragma once
// Serves a SimModule on a pseudo-terminal: the program opens the slave side
// like a serial port. The simulator keeps a slave descriptor of its own open
// (set raw, so CR and LF pass untouched), so the terminal does not hang up
// when the program closes and reopens the port between runs. Pulling the
// cable closes the master: the device vanishes under the program.
#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;
class SimModule;

class PtyServer : public QObject {
    Q_OBJECT
public:
    explicit PtyServer(SimModule& module, QObject* parent = nullptr);
    ~PtyServer() override;

    // Creates the terminal; false with a message in error.
    bool open(QString* error);
    QString slavePath() const { return slavePath_; }
    void close();

private:
    void readMaster();
    void writeMaster(const QByteArray& bytes);
    void flushOut();

    SimModule& module_;
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QByteArray out_;
};
