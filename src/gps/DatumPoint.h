#pragma once
// Reading and setting the datum point, with its file.
#include <QObject>
#include <QString>

struct Window;

class DatumPoint : public QObject {
    Q_OBJECT
public:
    // Terse reports in GPSMessage: a datum file that could not be read (the
    // datum point is kept as it was) or not be written.
    static const QString kReadFailed;
    static const QString kWriteFailed;

    explicit DatumPoint(Window& window);
    void Geten_ReadSW_Click();
    void Geten_SetSW_Click();
    // A datum file could not be saved since start-up.
    bool saveFailed() const { return saveFailed_; }

signals:
    // The datum point changed (read from a file, or set from the position).
    void datumChanged(double latitude, double longitude);

private:
    void report(const QString& message, const QString& reason = QString());
    Window& f;
    bool saveFailed_ = false;
};
