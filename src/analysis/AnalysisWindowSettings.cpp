// The analysis window's settings: the row of them below the pages, shown
// from and saved to the analysis settings file at each change, the base
// map chosen on the map page among them.
#include "analysis/AnalysisWindow.h"
#include "analysis/ControlNames.h"
#include "analysis/CoveragePane.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>

namespace analysis {

namespace {

}  // namespace

void AnalysisWindow::setDialogs(Dialogs* dialogs) { mapPane_->tiles().setDialogs(dialogs); }

QWidget* AnalysisWindow::settingsRow() {
    auto* row = new QGroupBox(QStringLiteral("設定"));
    nameControl(row, QStringLiteral("SettingsBox"));
    auto* h = new QHBoxLayout(row);
    rollingWindow_ = new QSpinBox;
    nameControl(rollingWindow_, QStringLiteral("RollingWindow"));
    rollingWindow_->setRange(1, AnalysisSettings::kMaxRollingWindow);
    rollingWindow_->setSuffix(QStringLiteral(" パケット"));
    alarmLosses_ = new QSpinBox;
    nameControl(alarmLosses_, QStringLiteral("AlarmLosses"));
    alarmLosses_->setRange(0, AnalysisSettings::kMaxAlarmLosses);
    alarmLosses_->setSuffix(QStringLiteral(" 回連続"));
    alarmLosses_->setSpecialValueText(QStringLiteral("切"));
    // Typed numbers take effect when complete (Enter or leaving the field),
    // not at each digit: a new window size restarts the rolling rate.
    for (QSpinBox* s : {rollingWindow_, alarmLosses_}) {
        s->setKeyboardTracking(false);
        connect(s, &QSpinBox::valueChanged, this, &AnalysisWindow::onSettingsEdited);
    }
    alarmSound_ = new QCheckBox(QStringLiteral("警報音"));
    nameControl(alarmSound_, QStringLiteral("AlarmSound"));
    gpsAlarm_ = new QCheckBox(QStringLiteral("GPS 測位断警報 (10 s)"));
    nameControl(gpsAlarm_, QStringLiteral("GpsAlarm"));
    for (QCheckBox* c : {alarmSound_, gpsAlarm_})
        connect(c, &QCheckBox::toggled, this, &AnalysisWindow::onSettingsEdited);
    h->addWidget(caption(QStringLiteral("直近の誤り率の幅")));
    h->addWidget(rollingWindow_);
    h->addSpacing(12);
    h->addWidget(caption(QStringLiteral("回線断警報")));
    h->addWidget(alarmLosses_);
    h->addSpacing(12);
    h->addWidget(alarmSound_);
    h->addWidget(gpsAlarm_);
    h->addStretch(1);
    return row;
}

void AnalysisWindow::showSettings(const AnalysisSettings& s) {
    const QSignalBlocker b1(rollingWindow_), b2(alarmLosses_), b3(alarmSound_), b4(gpsAlarm_);
    rollingWindow_->setValue(s.rollingWindow);
    alarmLosses_->setValue(s.alarmLosses);
    alarmSound_->setChecked(s.alarmSound);
    gpsAlarm_->setChecked(s.gpsAlarm);
    if (QString error; !mapPane_->map().setTileSource(s.tiles, s.tilesAttribution, &error))
        status_->setText(QStringLiteral("地図タイル: %1").arg(error));
    mapPane_->tiles().showCurrent();
}

void AnalysisWindow::onSettingsEdited() {
    AnalysisSettings s = rec_.settings();
    s.rollingWindow = rollingWindow_->value();
    s.alarmLosses = alarmLosses_->value();
    s.alarmSound = alarmSound_->isChecked();
    s.gpsAlarm = gpsAlarm_->isChecked();
    saveSettings(s);
}

// The base map chosen on the map page (already on the map) is kept for the
// next window.
void AnalysisWindow::onTilesChosen(const QString& source, const QString& attribution) {
    AnalysisSettings s = rec_.settings();
    s.tiles = source;
    s.tilesAttribution = attribution;
    saveSettings(s);
}

void AnalysisWindow::saveSettings(const AnalysisSettings& s) {
    QString error;
    if (!settingsPath_.isEmpty() && !s.save(settingsPath_, &error))
        status_->setText(QStringLiteral("設定書込失敗: %1").arg(error));
    rec_.setSettings(s);
}

}  // namespace analysis
