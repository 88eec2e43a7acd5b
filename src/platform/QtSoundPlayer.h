#pragma once
// Asynchronous wave playback on QSoundEffect. A file that is missing,
// unreadable or not a sound the player can decode plays the default beep
// instead, as the platform's player does.
#include "platform/Sound.h"

#include <QHash>
#include <functional>

class QSoundEffect;

class QtSoundPlayer : public SoundPlayer {
public:
    // beep: the default sound; the toolkit's beep unless a test listens.
    explicit QtSoundPlayer(std::function<void()> beep = {});
    ~QtSoundPlayer() override;
    void play(const QString& wavPath) override;

private:
    void loaded(const QString& wavPath);

    std::function<void()> beep_;
    QHash<QString, QSoundEffect*> effects_;
    QString waiting_;   // asked for while still loading; played once loaded
};
