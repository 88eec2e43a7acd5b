#include "platform/QtSoundPlayer.h"

#include <QApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

QtSoundPlayer::QtSoundPlayer() = default;

QtSoundPlayer::~QtSoundPlayer() { qDeleteAll(effects_); }

void QtSoundPlayer::play(const QString& wavPath) {
    if (!QFileInfo(wavPath).isFile()) {
        QApplication::beep();
        return;
    }
    // A new sound replaces one still playing, as asynchronous playback does.
    for (QSoundEffect* e : std::as_const(effects_))
        if (e->isPlaying())
            e->stop();
    QSoundEffect*& effect = effects_[wavPath];
    if (!effect) {
        effect = new QSoundEffect;
        effect->setSource(QUrl::fromLocalFile(wavPath));
    }
    effect->play();
}
