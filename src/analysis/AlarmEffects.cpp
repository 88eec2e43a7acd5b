#include "analysis/AlarmEffects.h"

#include "platform/Sound.h"

#include <QApplication>
#include <QWidget>

namespace analysis {

AlarmEffects::AlarmEffects(SoundPlayer* sound, const QString& appDir, QObject* parent)
    : QObject(parent), sound_(sound), wavPath_(appDir + QStringLiteral("/ALARM.wav")) {}

void AlarmEffects::onAlarmRaised(AlarmKind) {
    if (soundOn_ && sound_)
        sound_->play(wavPath_);
    if (attention_) {
        ++attentionRequests_;
        QApplication::alert(attention_);
    }
}

}  // namespace analysis
