#pragma once
// The analysis window ("リンク解析"): a separate top-level window that shows
// a RunRecorder's figures live (once per exchange), its plots, the alarm
// state and the time since the last answer; drops markers (button or F2,
// with an optional note); and edits the analysis settings, saving them to
// their file at each change.
//
// Every control has an objectName and the same accessibleName; a figure's
// label carries its unit in its text.
#include "analysis/AnalysisSettings.h"
#include "analysis/RunRecorder.h"

#include <QMap>
#include <QString>
#include <QWidget>

#include <initializer_list>
#include <optional>

class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace analysis {

class LinkCharts;

class AnalysisWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClockRefreshMs = 500;

    AnalysisWindow(RunRecorder& recorder, QString settingsPath, QWidget* parent = nullptr);
    ~AnalysisWindow() override;

    // The label of a figure by its objectName (tests read them).
    QLabel* figure(const QString& name) const { return figures_.value(name); }
    LinkCharts& charts() const { return *charts_; }

    // Updates every figure from the recorder.
    void refreshFigures();
    // Updates the alarm state and the time since the last answer.
    void refreshClock();

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    struct FigureSpec {
        int row;
        int column;
        const char* name;
        QString caption;
    };
    QGroupBox* figureBox(const QString& objectName, const QString& title, std::initializer_list<FigureSpec> specs);
    QGroupBox* countsBox();
    QGroupBox* rateBox();
    QGroupBox* rttBox();
    QGroupBox* levelBox();
    QWidget* markerRow();
    QWidget* settingsRow();
    QLabel* addFigure(QGridLayout* grid, int row, int column, const QString& name, const QString& caption = {});
    void set(const QString& name, const QString& text);

    void onRunStarted(const records::RunStart& r);
    void onExchangeAdded(const records::Exchange& e);
    void onRunEnded(const records::RunEnd& r);
    void onMarkerAdded(const records::Marker& m);
    void onAlarmChanged();
    void onWriteFailed(const QString& path, const QString& reason);
    void onSettingsEdited();
    void showSettings(const AnalysisSettings& s);
    void dropMarker();
    void showRunState();

    RunRecorder& rec_;
    QString settingsPath_;
    LinkCharts* charts_ = nullptr;
    QMap<QString, QLabel*> figures_;
    std::optional<records::Exchange> pending_;  // awaiting the figures after it

    QLabel* runState_ = nullptr;
    QLabel* alarmState_ = nullptr;
    QLabel* sinceLast_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* lastMarker_ = nullptr;
    QLineEdit* markerNote_ = nullptr;
    QPushButton* markerButton_ = nullptr;
    QSpinBox* rollingWindow_ = nullptr;
    QSpinBox* alarmLosses_ = nullptr;
    QCheckBox* alarmSound_ = nullptr;
    QCheckBox* gpsAlarm_ = nullptr;
    QTimer* clock_ = nullptr;
};

}  // namespace analysis
