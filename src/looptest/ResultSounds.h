#pragma once
// The success and failure sounds.
#include <QObject>
#include <QString>

struct Window;

class ResultSounds : public QObject {
    Q_OBJECT
public:
    explicit ResultSounds(Window& window);
    void PlaySuccessSound();
    void PlayFailureSound();
    // Where a sound file is read: beside the settings file, or the
    // install's copy when the user has not put one there.
    QString soundFile(const QString& name) const;

private:

    Window& f;
};
