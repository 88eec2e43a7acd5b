#include "platform/QtSoundPlayer.h"

#include <QApplication>
#include <QFile>
#include <QSoundEffect>
#include <QUrl>

namespace {

// The player's decoder reports some damaged files only by never finishing
// (an empty file, a header cut short): a file that is missing, unreadable,
// shorter than the smallest wave file or not a RIFF "WAVE" file is known
// unplayable before it is handed over.
bool looksLikeWave(const QString& path) {
    constexpr qint64 kSmallestWave = 44;   // RIFF header, "fmt " chunk, "data" header
    QFile file(path);
    if (file.size() <= kSmallestWave || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(12);
    return head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
}

} // namespace

QtSoundPlayer::QtSoundPlayer(std::function<void()> beep) : beep_(std::move(beep)) {
    if (!beep_)
        beep_ = [] { QApplication::beep(); };
}

QtSoundPlayer::~QtSoundPlayer() { qDeleteAll(effects_); }

void QtSoundPlayer::play(const QString& wavPath) {
    // A new sound replaces one still playing or still waiting to play, as
    // asynchronous playback does.
    waiting_.clear();
    for (QSoundEffect* e : std::as_const(effects_))
        if (e->isPlaying())
            e->stop();
    if (!looksLikeWave(wavPath)) {
        beep_();
        return;
    }
    QSoundEffect*& effect = effects_[wavPath];
    if (!effect) {
        effect = new QSoundEffect;
        QObject::connect(effect, &QSoundEffect::statusChanged, effect, [this, wavPath] { loaded(wavPath); });
        effect->setSource(QUrl::fromLocalFile(wavPath));
    }
    switch (effect->status()) {
    case QSoundEffect::Ready: effect->play(); break;
    case QSoundEffect::Error: beep_(); break;   // it keeps its error: beeps each time
    default: waiting_ = wavPath; break;         // decoded in the background
    }
}

void QtSoundPlayer::loaded(const QString& wavPath) {
    if (waiting_ != wavPath)
        return;
    QSoundEffect* effect = effects_.value(wavPath);
    if (effect->status() == QSoundEffect::Ready) {
        waiting_.clear();
        effect->play();
    } else if (effect->status() == QSoundEffect::Error) {
        // A wave file the decoder refuses (damaged, unknown format).
        waiting_.clear();
        beep_();
    }
}
