#pragma once
// A pseudo-terminal for the simulator: the program under test opens the
// slave side as its radio port, the simulator reads and writes the master.
// The simulator keeps a slave descriptor of its own open, so that the
// master sees no hang-up while the program closes and reopens the port.
#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

class PtyServer : public QObject {
    Q_OBJECT
public:
    explicit PtyServer(QObject* parent = nullptr);
    ~PtyServer() override;

    // Creates the pseudo-terminal (and the link to it, if given); false with
    // error() set on failure.
    bool open(const QString& link);
    QString slavePath() const { return slavePath_; }
    QString error() const { return error_; }
    bool isOpen() const { return master_ >= 0; }

    void write(const QByteArray& bytes);
    // Closes both sides: the program's port reports an error, as with an
    // unplugged cable. Removes the link.
    void close();

signals:
    void received(const QByteArray& bytes);

private:
    void onReadable();
    bool fail(const char* what);

    int master_ = -1;
    int slave_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QString slavePath_;
    QString link_;
    QString error_;
};
