#pragma once
// The analysis window ("リンク解析"): a separate top-level window that shows
// a RunRecorder's figures live, its plots, the alarm
// state and the time since the last answer; drops markers (button or F2,
// with an optional note); and edits the analysis settings, saving them to
// their file at each change (AnalysisWindowSettings.cpp).
//
// The figures and plots share the window with two more pages: the live
// coverage map and RSSI against distance with its path-loss fit, each
// saved as PNG or SVG from its buttons.
//
// The figures follow the run at most every kFiguresMs (several exchanges
// in between are shown together, with the plots' own update in the same
// pass), and not at all while the statistics page is not in view: showing
// it brings them up to date at once. A figure's label keeps its size while
// its text changes (it widens once for a longer text), so a new value
// repaints that label alone rather than laying the whole window out again.
//
// Every control has an objectName and the same accessibleName; a figure's
// label carries its unit in its text.
#include "analysis/AnalysisSettings.h"
#include "analysis/RunRecorder.h"

#include <QElapsedTimer>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <initializer_list>
#include <optional>

class Dialogs;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTimer;
class QVBoxLayout;
class QDragEnterEvent;
class QDropEvent;

namespace analysis {

class CoverageMap;
class CoveragePane;
class LinkCharts;
class RssiDistancePlot;
class SensitivityPage;

class AnalysisWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClockRefreshMs = 500;
    static constexpr int kFiguresMs = 1000;
    // The plots span up to their last 4,000 points (20 minutes at 300 ms):
    // during a run they are redrawn at every other pass.
    static constexpr int kPlotsMs = 2000;

    AnalysisWindow(RunRecorder& recorder, QString settingsPath, QWidget* parent = nullptr);
    ~AnalysisWindow() override;

    // The label of a figure by its objectName (tests read them).
    QLabel* figure(const QString& name) const { return figures_.value(name); }
    LinkCharts& charts() const { return *charts_; }
    CoverageMap& map() const;
    RssiDistancePlot& distancePlot() const { return *distance_; }
    SensitivityPage& sensitivityPage() const { return *sensitivity_; }

    // The datum point of the map's rings and of the distances (decimal
    // degrees; 0 latitude or longitude: none).
    void setDatum(double latitude, double longitude);
    // The map as a picture (PNG or SVG by the name's suffix), e.g. at the
    // end of an unattended run: saveMapPicture(recorder.mapPicturePath()).
    bool saveMapPicture(const QString& path, QString* error = nullptr) const;
    // Asks where a picture goes (the save buttons); given the suggested
    // path, returns the chosen one or an empty string. A file dialog unless
    // set (tests set their own).
    using SavePathChooser = std::function<QString(const QString& suggested)>;
    void setSavePathChooser(SavePathChooser chooser) { chooser_ = std::move(chooser); }

    // Recorded runs (AnalysisWindowFiles.cpp): the "開く…" button and files
    // dropped on the window open them. By default in a viewer window of
    // their own (RunViewer), so a live run here goes on undisturbed; a
    // viewer's own window hands them to its viewer instead.
    using OpenHandler = std::function<void(const QStringList& files)>;
    void setOpenHandler(OpenHandler handler) { openHandler_ = std::move(handler); }
    void openFiles(const QStringList& files);
    // Asks which files to open (the button); a file dialog unless set.
    using OpenChooser = std::function<QStringList()>;
    void setOpenChooser(OpenChooser chooser) { openChooser_ = std::move(chooser); }
    // The dialogs the map page's base map choice asks (the platform's own
    // until set).
    void setDialogs(Dialogs* dialogs);
    // A viewer's controls go above the pages; the marker row, which only
    // a live run can use, goes.
    void addViewerBar(QWidget* bar);
    // While a recorded run is fed in bulk the figures and plots take the
    // exchanges without showing each; endBulk() shows where they ended.
    void beginBulk() { bulk_ = true; }
    void endBulk();

    // Updates every figure from the recorder now (what the window shows
    // after its next pass; tests read the labels after it).
    void refreshFigures();
    // Passes that updated the figures so far (tests count them).
    int figureRefreshes() const { return figureRefreshes_; }
    // Updates the alarm state and the time since the last answer.
    void refreshClock();

protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
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
    bool figuresInView() const;
    void onFiguresChanged();
    void refreshPass();
    void refreshPlots();

    void onRunStarted(const records::RunStart& r);
    void onExchangeAdded(const records::Exchange& e);
    void onLateAnswer(const records::LateAnswer& l);
    void savePicture(QWidget* page, const QString& suffix);
    void showPlotWhenVisible();
    void onRunEnded(const records::RunEnd& r);
    void onMarkerAdded(const records::Marker& m);
    void onAlarmChanged();
    void onWriteFailed(const QString& path, const QString& reason);
    void onSettingsEdited();
    void onTilesChosen(const QString& source, const QString& attribution);
    void saveSettings(const AnalysisSettings& s);
    void showSettings(const AnalysisSettings& s);
    void dropMarker();
    void showRunState();
    QPushButton* openButton();
    void chooseFiles();

    RunRecorder& rec_;
    QString settingsPath_;
    LinkCharts* charts_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    CoveragePane* mapPane_ = nullptr;
    RssiDistancePlot* distance_ = nullptr;
    SensitivityPage* sensitivity_ = nullptr;
    SavePathChooser chooser_;
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
    QVBoxLayout* content_ = nullptr;
    OpenHandler openHandler_;
    OpenChooser openChooser_;
    bool bulk_ = false;
    QTimer* figuresTimer_ = nullptr;
    QWidget* statistics_ = nullptr;
    QElapsedTimer lastPass_;
    QElapsedTimer lastPlots_;
    bool figuresStale_ = false;
    int figureRefreshes_ = 0;
};

}  // namespace analysis
