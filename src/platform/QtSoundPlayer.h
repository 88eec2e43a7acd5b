#pragma once
// Asynchronous wave playback on QSoundEffect; a missing file beeps.
#include "platform/Sound.h"

#include <QHash>

class QSoundEffect;

class QtSoundPlayer : public SoundPlayer {
public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    void play(const QString& wavPath) override;

private:
    QHash<QString, QSoundEffect*> effects_;
};
