#pragma once
// A viewer of recorded runs: record streams (.jsonl) and communication logs
// read by the export readers (export/RunFiles.h), each run a layer, shown in
// an analysis window of their own exactly as the live run was shown there:
// the records are fed to a RunRecorder that writes no file, in the order
// they were read, so every figure, plot, map and page comes from the same
// code as in the live run.
//
// One layer is shown at a time (the layer box picks it): its figures, plots
// and pages. The map shows it and, beside it, every other layer whose box
// in the map's layer row is checked, each in a mark shape of its own and
// named in the map's legend; the layer picked is checked when picked (and
// unchecked again when another is picked, unless checked by hand), and any
// layer's box hides it. The time scrubber limits the layer shown to the
// records sent up to a moment after the layer's first send, and each other
// layer on the map to the same time after its own first send; at its
// right end every run whole, its end included. A scrub forward
// feeds only the records between the two moments; one backward (or another
// layer) feeds the layer again from its start, out of memory. Moves of the
// scrubber are taken kScrubDebounceMs after it rests, so dragging it over a
// long run costs one feed per pause rather than one per pixel. Feeding goes
// through the window's bulk path: the figures and plots are shown once at
// the end, not per exchange.
#include "analysis/AnalysisSettings.h"
#include "records/Exchange.h"
#include "stats/Compare.h"

#include <QObject>
#include <QString>
#include <QList>
#include <QStringList>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QSlider;
class QTimer;

namespace analysis {

class AnalysisWindow;
class RunRecorder;

// One run as read, in the order its records came: a late answer or marker
// is kept with the number of exchanges read before it.
struct RecordedRun {
    QString name;      // the layer's name (file and start time)
    QString source;    // the file read
    records::RunStart start;
    std::vector<records::Exchange> exchanges;
    std::vector<std::pair<std::size_t, records::LateAnswer>> late;
    std::vector<std::pair<std::size_t, records::Marker>> markers;
    std::optional<records::RunEnd> end;

    // From the first send to the last (0 without exchanges).
    std::int64_t spanUs() const;
    // Exchanges sent at most offsetUs after the first send.
    std::size_t exchangesUpTo(std::int64_t offsetUs) const;
};

class RunViewer : public QObject {
    Q_OBJECT
public:
    static constexpr int kScrubDebounceMs = 120;

    explicit RunViewer(const AnalysisSettings& settings = {}, QObject* parent = nullptr);
    ~RunViewer() override;

    // A viewer of the files in a window of its own, deleted when the window
    // is closed.
    static RunViewer* openInNewWindow(const QStringList& files, const AnalysisSettings& settings);

    // Reads the files on a thread of their own, so the windows (a live run
    // beside) go on meanwhile; then each run becomes a layer and the first
    // new one is shown whole (opened()). A file that cannot be opened, and
    // what the readers could not read, are named in the viewer's status
    // line and the rest is kept. Files asked for while others are read are
    // read after them.
    void open(const QStringList& files);
    bool reading() const { return reading_; }

    AnalysisWindow& window() const { return *window_; }
    RunRecorder& recorder() const { return *recorder_; }
    int layerCount() const { return int(runs_.size()); }
    const RecordedRun& layer(int i) const { return runs_[std::size_t(i)]; }
    int currentLayer() const { return current_; }
    QComboBox* layerBox() const { return layerBox_; }
    QSlider* scrubber() const { return scrubber_; }
    QLabel* timeLabel() const { return time_; }
    QLabel* statusLabel() const { return status_; }
    // The run the shown one is compared with ("なし" first), and the
    // verdict: the shown run is B, the chosen one A, both whole.
    QComboBox* compareBox() const { return compareBox_; }
    QLabel* verdictLabel() const { return verdict_; }
    // Layer i on the map ("MapLayer(i)", captioned with the layer's name).
    QCheckBox* mapLayerBox(int i) const { return mapBoxes_[std::size_t(i)]; }
    QStringList problems() const { return problems_; }

    // Shows layer i whole.
    void showLayer(int i);
    // Shows the current layer up to offsetUs after its first send, now
    // (the scrubber moves there without waiting); past its span: whole.
    void scrubTo(std::int64_t offsetUs);
    std::int64_t shownUpToUs() const { return limitUs_; }
    // Exchanges fed for the view now, and feeds from the layer's start
    // (the cost figures read them).
    std::size_t exchangesShown() const { return fed_; }
    int rebuilds() const { return rebuilds_; }

signals:
    // After each feed: the window shows the moment chosen.
    void shown();
    // The files of an open() are read and shown; false when one could not
    // be opened or held no run.
    void opened(bool allRead);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    struct Read;
    void readNext();
    void take(Read& read);
    void feedTo(std::int64_t limitUs);
    void showTime();
    void onScrubberMoved();
    void showComparison();
    void addMapLayerBox(int i);
    void onMapLayerToggled(int i);
    void showOverlays();
    const SetUpFigures& setUpOf(int layer);

    std::vector<RecordedRun> runs_;
    QList<QStringList> queued_;  // open() calls waiting for the one being read
    bool reading_ = false;
    QStringList problems_;
    QStringList failed_;  // files that could not be read, by name
    std::unique_ptr<RunRecorder> recorder_;
    std::unique_ptr<AnalysisWindow> window_;
    QComboBox* layerBox_ = nullptr;
    QSlider* scrubber_ = nullptr;
    QLabel* time_ = nullptr;
    QLabel* status_ = nullptr;
    QComboBox* compareBox_ = nullptr;
    QLabel* verdict_ = nullptr;
    QHBoxLayout* mapLayers_ = nullptr;
    std::vector<QCheckBox*> mapBoxes_;
    std::vector<bool> autoChecked_;  // checked by being picked, not by hand
    // By layer: how many exchanges the map holds of it as an overlay.
    std::vector<std::optional<std::size_t>> overlaid_;
    std::vector<std::optional<SetUpFigures>> setUps_;  // by layer, made when first compared
    QTimer* debounce_ = nullptr;
    int current_ = -1;
    int fedLayer_ = -1;
    std::size_t fed_ = 0;          // exchanges of fedLayer_ fed
    std::size_t lateFed_ = 0, markersFed_ = 0;
    bool endFed_ = false;
    std::int64_t limitUs_ = 0;
    int rebuilds_ = 0;
};

}  // namespace analysis
