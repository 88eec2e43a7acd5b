#pragma once
// The success and failure sounds.
#include <QObject>
#include <QString>

class SoundPlayer;

// What the sounds need: the player, and the folders a sound file is read
// from (the data folder first, the install's second).
struct SoundsView {
    SoundPlayer* sound = nullptr;
    QString appDir;
    QString soundDir;
};

class ResultSounds : public QObject {
    Q_OBJECT
public:
    ResultSounds(const SoundsView& view, QObject* parent);
    void PlaySuccessSound();
    void PlayFailureSound();
    // Where a sound file is read: beside the settings file, or the
    // install's copy when the user has not put one there.
    QString soundFile(const QString& name) const;

private:

    SoundsView f;
};
