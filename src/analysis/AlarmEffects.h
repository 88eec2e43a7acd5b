#pragma once
// What a raised alarm does outside the analysis window: the alarm tone
// (ALARM.wav beside the executable, through the sound seam) when the alarm
// sound is on, and a request for the desktop's attention on a given window
// (QApplication::alert: a flashing task-bar entry; nothing when the window
// is already active). A cleared alarm does nothing here: the tone is short
// and the attention request ends when the window is activated.
#include "analysis/AnalysisSettings.h"
#include "analysis/RunRecorder.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;
class SoundPlayer;

namespace analysis {

class AlarmEffects : public QObject {
    Q_OBJECT
public:
    // sound may be null (no tone); appDir holds ALARM.wav.
    AlarmEffects(SoundPlayer* sound, const QString& appDir, QObject* parent = nullptr);

    void setAttentionWidget(QWidget* w) { attention_ = w; }
    bool soundOn() const { return soundOn_; }
    // Attention requests made so far (a window test cannot see the task bar).
    int attentionRequests() const { return attentionRequests_; }

public slots:
    void applySettings(const analysis::AnalysisSettings& s) { soundOn_ = s.alarmSound; }
    void onAlarmRaised(analysis::AlarmKind kind);

private:
    SoundPlayer* sound_;
    QString wavPath_;
    QPointer<QWidget> attention_;
    bool soundOn_ = true;
    int attentionRequests_ = 0;
};

}  // namespace analysis
