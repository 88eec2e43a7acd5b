#pragma once
// The sound seam: asynchronous playback of a wave file. A new sound
// replaces one still playing; a missing file, or one that cannot be played,
// plays the default beep.
// Never blocks and never reports failure.
#include <QString>

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QString& wavPath) = 0;
};
