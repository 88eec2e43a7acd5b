#include "analysis/RunViewer.h"

#include "analysis/AnalysisWindow.h"
#include "analysis/ControlNames.h"
#include "analysis/CoverageMap.h"
#include "analysis/MapLegend.h"
#include "analysis/RunRecorder.h"
#include "export/RunFiles.h"
#include "export/Summary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>
#include <QSlider>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <memory>

namespace analysis {

namespace {

constexpr int kProblemsShown = 20;

// Keeps every run read, its late answers and markers where they came.
class Collect : public exportdata::RecordSink {
public:
    Collect(std::vector<RecordedRun>& runs, QStringList& problems) : runs_(runs), problems_(problems) {}
    void runStart(const records::RunStart& r, const QString& layer, const QString& source) override {
        RecordedRun run;
        run.name = layer;
        run.source = source;
        run.start = r;
        runs_.push_back(std::move(run));
        ++opened;
    }
    void exchange(const records::Exchange& e) override {
        if (RecordedRun* r = current())
            r->exchanges.push_back(e);
    }
    void late(const records::LateAnswer& l) override {
        if (RecordedRun* r = current())
            r->late.emplace_back(r->exchanges.size(), l);
    }
    void marker(const records::Marker& m) override {
        if (RecordedRun* r = current())
            r->markers.emplace_back(r->exchanges.size(), m);
    }
    void runEnd(const records::RunEnd& e) override {
        if (RecordedRun* r = current())
            r->end = e;
    }
    void problem(const exportdata::Problem& p) override { problems_ << p.text(); }
    void note(const exportdata::Problem& p) override { problems_ << p.text(); }
    int opened = 0;

private:
    // Records before any run start belong to no run: the readers report them.
    RecordedRun* current() { return opened ? &runs_.back() : nullptr; }
    std::vector<RecordedRun>& runs_;
    QStringList& problems_;
};

// A span in whole milliseconds as the scrubber counts (about 24 days at most).
int sliderMs(std::int64_t us) { return int(std::clamp<std::int64_t>((us + 999) / 1000, 0, INT_MAX)); }

QString elapsed(std::int64_t us) {
    const std::int64_t s = us / 1000000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

std::int64_t RecordedRun::spanUs() const {
    return exchanges.empty() ? 0 : exchanges.back().sentUs - exchanges.front().sentUs;
}

std::size_t RecordedRun::exchangesUpTo(std::int64_t offsetUs) const {
    if (exchanges.empty())
        return 0;
    const std::int64_t limit = exchanges.front().sentUs + offsetUs;
    // Sends come in time order.
    const auto it = std::partition_point(exchanges.begin(), exchanges.end(),
                                         [limit](const records::Exchange& e) { return e.sentUs <= limit; });
    return std::size_t(it - exchanges.begin());
}

RunViewer::RunViewer(const AnalysisSettings& settings, QObject* parent)
    : QObject(parent), recorder_(std::make_unique<RunRecorder>(QString(), settings)) {
    recorder_->setWritesFiles(false);
    // "Since the last answer" and the alarms read the moment shown.
    recorder_->setClock([this] {
        Instant at;
        if (current_ >= 0 && !runs_[std::size_t(current_)].exchanges.empty()) {
            const records::Exchange& first = runs_[std::size_t(current_)].exchanges.front();
            at.us = first.sentUs + limitUs_;
            at.local = first.sent.addMSecs(limitUs_ / 1000);
        }
        return at;
    });
    // No settings file: what is changed here is for this view only.
    window_ = std::make_unique<AnalysisWindow>(*recorder_, QString());
    window_->setOpenHandler([this](const QStringList& files) { open(files); });

    auto* bar = new QWidget;
    nameControl(bar, QStringLiteral("ViewerBar"));
    auto* g = new QGridLayout(bar);
    g->setContentsMargins(0, 0, 0, 0);
    auto* layerCaption = new QLabel(QStringLiteral("ラン"));
    layerBox_ = nameControl(new QComboBox, QStringLiteral("RunLayer"));
    layerBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    layerBox_->setMinimumContentsLength(40);
    layerCaption->setBuddy(layerBox_);
    layerBox_->setAccessibleDescription(layerCaption->text());
    auto* timeCaption = new QLabel(QStringLiteral("時刻"));
    scrubber_ = nameControl(new QSlider(Qt::Horizontal), QStringLiteral("TimeScrubber"));
    scrubber_->setAccessibleDescription(QStringLiteral("この時刻までの記録を表示"));
    scrubber_->setToolTip(scrubber_->accessibleDescription());
    timeCaption->setBuddy(scrubber_);
    time_ = nameControl(new QLabel, QStringLiteral("ScrubTime"));
    time_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_ = nameControl(new QLabel, QStringLiteral("ViewerStatus"));
    status_->setTextFormat(Qt::PlainText);  // it shows file names
    // The layer and what was read above, the scrubber and its moment below.
    g->addWidget(layerCaption, 0, 0);
    g->addWidget(layerBox_, 0, 1);
    g->addWidget(status_, 0, 2);
    g->addWidget(timeCaption, 1, 0);
    g->addWidget(scrubber_, 1, 1);
    g->addWidget(time_, 1, 2);
    auto* compareCaption = new QLabel(QStringLiteral("比較"));
    compareBox_ = nameControl(new QComboBox, QStringLiteral("CompareLayer"));
    compareBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    compareBox_->setMinimumContentsLength(40);
    compareBox_->addItem(QStringLiteral("なし"));
    compareCaption->setBuddy(compareBox_);
    compareBox_->setAccessibleDescription(QStringLiteral("表示中のラン (B) と比べるラン (A)"));
    compareBox_->setToolTip(compareBox_->accessibleDescription());
    verdict_ = nameControl(new QLabel, QStringLiteral("CompareVerdict"));
    verdict_->setTextFormat(Qt::PlainText);
    verdict_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    verdict_->setWordWrap(true);
    g->addWidget(compareCaption, 2, 0);
    g->addWidget(compareBox_, 2, 1);
    g->addWidget(verdict_, 2, 2);
    // One check box a layer: which runs the map shows together.
    auto* layersCaption = new QLabel(QStringLiteral("地図の層"));
    auto* boxes = new QWidget;
    nameControl(boxes, QStringLiteral("MapLayers"));
    mapLayers_ = new QHBoxLayout(boxes);
    mapLayers_->setContentsMargins(0, 0, 0, 0);
    mapLayers_->addStretch(1);
    g->addWidget(layersCaption, 3, 0);
    g->addWidget(boxes, 3, 1, 1, 2);
    g->setColumnStretch(1, 1);
    g->setColumnStretch(2, 1);
    window_->addViewerBar(bar);
    connect(compareBox_, &QComboBox::currentIndexChanged, this, &RunViewer::showComparison);

    debounce_ = new QTimer(this);
    debounce_->setSingleShot(true);
    debounce_->setInterval(kScrubDebounceMs);
    connect(debounce_, &QTimer::timeout, this, [this] { feedTo(std::int64_t(scrubber_->value()) * 1000); });
    connect(scrubber_, &QSlider::valueChanged, this, &RunViewer::onScrubberMoved);
    // Let go: the moment at once.
    connect(scrubber_, &QSlider::sliderReleased, this, [this] {
        debounce_->stop();
        feedTo(std::int64_t(scrubber_->value()) * 1000);
    });
    connect(layerBox_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0 && i != current_)
            showLayer(i);
    });
    // A new rolling window or alarm limit applies from the run's start.
    connect(recorder_.get(), &RunRecorder::settingsChanged, this, [this] {
        fedLayer_ = -1;
        QTimer::singleShot(0, this, [this] { feedTo(limitUs_); });
    });
    showTime();
}

RunViewer::~RunViewer() = default;

RunViewer* RunViewer::openInNewWindow(const QStringList& files, const AnalysisSettings& settings) {
    auto* viewer = new RunViewer(settings);
    viewer->window().setAttribute(Qt::WA_QuitOnClose, false);
    viewer->window().installEventFilter(viewer);
    viewer->open(files);
    viewer->window().show();
    return viewer;
}

// What a reading thread hands back: only its own data, nothing of the viewer.
struct RunViewer::Read {
    QStringList files;
    std::vector<RecordedRun> runs;
    QStringList problems;
    QStringList failed;
};

void RunViewer::open(const QStringList& files) {
    if (files.isEmpty())
        return;
    queued_.append(files);
    if (!reading_)
        readNext();
}

void RunViewer::readNext() {
    if (queued_.isEmpty())
        return;
    reading_ = true;
    auto read = std::make_shared<Read>();
    read->files = queued_.takeFirst();
    status_->setText(QStringLiteral("読込中: %1").arg(QFileInfo(read->files.first()).fileName()));
    QThread* thread = QThread::create([read] {
        for (const QString& path : read->files) {
            Collect sink(read->runs, read->problems);
            QString why;
            if (!exportdata::readRunFile(path, sink, &why)) {
                read->problems << QStringLiteral("%1: %2").arg(path, why);
                read->failed << QFileInfo(path).fileName();
            } else if (!sink.opened) {
                read->problems << QStringLiteral("%1: no run in it").arg(path);
                read->failed << QFileInfo(path).fileName();
            }
        }
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    // The program does not end under a reading thread (it would read on
    // through the toolkit's shutdown): the end waits for the read.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, thread, [thread] { thread->wait(); });
    // Gone with the viewer when it is closed first: the thread's data are its own.
    connect(thread, &QThread::finished, this, [this, read] { take(*read); });
    thread->start();
}

void RunViewer::take(Read& read) {
    const int before = layerCount();
    for (RecordedRun& r : read.runs)
        runs_.push_back(std::move(r));
    problems_ += read.problems;
    failed_ += read.failed;
    {
        const QSignalBlocker block(layerBox_);
        for (int i = before; i < layerCount(); ++i)
            layerBox_->addItem(QStringLiteral("%1 (%2 パケット)").arg(runs_[std::size_t(i)].name)
                                   .arg(runs_[std::size_t(i)].exchanges.size()));
    }
    {
        const QSignalBlocker block(compareBox_);
        for (int i = before; i < layerCount(); ++i)
            compareBox_->addItem(layerBox_->itemText(i));
    }
    setUps_.resize(runs_.size());
    for (int i = before; i < layerCount(); ++i)
        addMapLayerBox(i);
    QString status = QStringLiteral("%1 ラン").arg(layerCount());
    if (!failed_.isEmpty())
        status += QStringLiteral("  読込失敗: ") + failed_.join(QStringLiteral(", "));
    if (!problems_.isEmpty())
        status += QStringLiteral("  読めない行など %1 件").arg(problems_.size());
    status_->setText(status);
    status_->setToolTip(problems_.mid(0, kProblemsShown).join(QLatin1Char('\n')));
    if (layerCount() > before)
        showLayer(before);
    reading_ = false;
    emit opened(read.failed.isEmpty());
    readNext();
}

void RunViewer::showLayer(int i) {
    if (i < 0 || i >= layerCount())
        return;
    // The layer picked goes on the map; the one before leaves it unless
    // checked by hand.
    if (current_ >= 0 && current_ != i && autoChecked_[std::size_t(current_)]) {
        const QSignalBlocker block(mapBoxes_[std::size_t(current_)]);
        mapBoxes_[std::size_t(current_)]->setChecked(false);
        autoChecked_[std::size_t(current_)] = false;
    }
    if (!mapBoxes_[std::size_t(i)]->isChecked()) {
        const QSignalBlocker block(mapBoxes_[std::size_t(i)]);
        mapBoxes_[std::size_t(i)]->setChecked(true);
        autoChecked_[std::size_t(i)] = true;
    }
    current_ = i;
    CoverageMap& map = window_->map();
    map.setOwnLayer(runs_[std::size_t(i)].name, i % kLayerShapes);
    map.setOwnShown(true);
    fedLayer_ = -1;
    const RecordedRun& run = runs_[std::size_t(i)];
    {
        const QSignalBlocker block(layerBox_);
        layerBox_->setCurrentIndex(i);
    }
    window_->setWindowTitle(QStringLiteral("リンク解析 - ") + run.name);
    {
        const QSignalBlocker block(scrubber_);
        scrubber_->setRange(0, sliderMs(run.spanUs()));
        scrubber_->setSingleStep(std::max(1, int(run.start.periodMs)));
        scrubber_->setPageStep(std::max(1000, scrubber_->maximum() / 20));
        scrubber_->setValue(scrubber_->maximum());
    }
    feedTo(run.spanUs());
    showComparison();
}

// What a comparison needs of a whole run, through the same summary the
// exporter writes, so the window's verdict and `qvx-export --to summary
// --compare` agree.
const SetUpFigures& RunViewer::setUpOf(int layer) {
    std::optional<SetUpFigures>& kept = setUps_[std::size_t(layer)];
    if (!kept) {
        const RecordedRun& run = runs_[std::size_t(layer)];
        exportdata::SummarySink sink;
        sink.runStart(run.start, run.name, run.source);
        for (const records::Exchange& e : run.exchanges)
            sink.exchange(e);
        for (const auto& late : run.late)
            sink.late(late.second);
        kept = sink.result().setUp;
    }
    return *kept;
}

void RunViewer::showComparison() {
    const int other = compareBox_->currentIndex() - 1;  // "なし" first
    if (other < 0 || other >= layerCount() || current_ < 0) {
        verdict_->clear();
        return;
    }
    if (other == current_) {
        verdict_->setText(QStringLiteral("表示中のランと同じ"));
        return;
    }
    const auto c = compareRuns(setUpOf(other), setUpOf(current_));
    verdict_->setText(c ? QStringLiteral("A = %1\n%2 (p = %3)")
                              .arg(runs_[std::size_t(other)].name, verdictSentence(*c), QString::number(c->pValue, 'g', 3))
                        : QStringLiteral("比較できない (交換のないラン)"));
}

void RunViewer::scrubTo(std::int64_t offsetUs) {
    if (current_ < 0)
        return;
    debounce_->stop();
    {
        const QSignalBlocker block(scrubber_);
        scrubber_->setValue(sliderMs(offsetUs));
    }
    feedTo(offsetUs);
}

void RunViewer::onScrubberMoved() {
    showTime();
    debounce_->start();
}

void RunViewer::feedTo(std::int64_t limitUs) {
    if (current_ < 0)
        return;
    const RecordedRun& run = runs_[std::size_t(current_)];
    limitUs = std::clamp<std::int64_t>(limitUs, 0, run.spanUs());
    if (fedLayer_ == current_ && limitUs == limitUs_)
        return;  // shown already (the scrubber let go where it rested)
    const std::size_t n = run.exchangesUpTo(limitUs);
    const bool whole = limitUs >= run.spanUs();
    RunRecorder& rec = *recorder_;
    limitUs_ = limitUs;
    window_->beginBulk();
    if (fedLayer_ != current_ || n < fed_ || endFed_) {
        // From the start: the figures cannot be taken back.
        ++rebuilds_;
        fedLayer_ = current_;
        fed_ = lateFed_ = markersFed_ = 0;
        endFed_ = false;
        if (rec.running()) {  // a part shown before: ended here, in no file
            records::RunEnd stop;
            stop.runId = rec.runStart().runId;
            rec.onRunEnd(stop);
        }
        rec.onRunStart(run.start);
    }
    const auto upTo = [&](std::size_t count) {
        while (lateFed_ < run.late.size() && run.late[lateFed_].first <= count)
            rec.onLateAnswer(run.late[lateFed_++].second);
        while (markersFed_ < run.markers.size() && run.markers[markersFed_].first <= count &&
               (whole || run.markers[markersFed_].second.atUs <= run.exchanges.front().sentUs + limitUs))
            rec.onMarker(run.markers[markersFed_++].second);
    };
    upTo(fed_);
    for (; fed_ < n; ++fed_) {
        rec.onExchange(run.exchanges[fed_]);
        upTo(fed_ + 1);
    }
    if (whole) {
        upTo(SIZE_MAX);
        if (run.end) {
            rec.onRunEnd(*run.end);
            endFed_ = true;
        }
    }
    showOverlays();
    window_->endBulk();
    showTime();
    emit shown();
}

// A layer's box: its mark's shape and its name.
void RunViewer::addMapLayerBox(int i) {
    QPixmap mark(14, 14);
    mark.fill(Qt::transparent);
    {
        QPainter p(&mark);
        p.setRenderHint(QPainter::Antialiasing);
        drawAnswered(p, QPointF(7, 7), kNoValueColour, i % kLayerShapes);
    }
    auto* box = new QCheckBox(runs_[std::size_t(i)].name);
    box->setObjectName(QStringLiteral("MapLayer(%1)").arg(i));
    box->setIcon(QIcon(mark));
    box->setAccessibleDescription(QStringLiteral("地図に表示"));
    box->setToolTip(QStringLiteral("地図に表示: ") + runs_[std::size_t(i)].source);
    mapLayers_->insertWidget(mapLayers_->count() - 1, box);  // before the stretch
    mapBoxes_.push_back(box);
    autoChecked_.push_back(false);
    overlaid_.emplace_back();
    connect(box, &QCheckBox::toggled, this, [this, i] { onMapLayerToggled(i); });
}

void RunViewer::onMapLayerToggled(int i) {
    autoChecked_[std::size_t(i)] = false;  // the operator's choice from now on
    if (i == current_)
        window_->map().setOwnShown(mapBoxes_[std::size_t(i)]->isChecked());
    else
        showOverlays();
}

// Every other layer checked goes on the map up to the moment shown (its
// own first send plus the same offset), whole at the scrubber's right end.
void RunViewer::showOverlays() {
    if (current_ < 0)
        return;
    CoverageMap& map = window_->map();
    const bool whole = limitUs_ >= runs_[std::size_t(current_)].spanUs();
    for (int k = 0; k < layerCount(); ++k) {
        std::optional<std::size_t>& held = overlaid_[std::size_t(k)];
        if (k == current_ || !mapBoxes_[std::size_t(k)]->isChecked()) {
            if (held)
                map.removeOverlay(k);
            held.reset();
            continue;
        }
        const RecordedRun& run = runs_[std::size_t(k)];
        const std::size_t count = whole ? run.exchanges.size() : run.exchangesUpTo(limitUs_);
        if (held == count)
            continue;
        std::vector<std::int64_t> late;
        for (const auto& [before, answer] : run.late)
            if (before <= count)
                late.push_back(answer.packet);
        map.setOverlay(k, run.name, k % kLayerShapes, run.exchanges, count, late);
        held = count;
    }
}

void RunViewer::showTime() {
    if (current_ < 0) {
        time_->setText(QStringLiteral("-"));
        return;
    }
    const RecordedRun& run = runs_[std::size_t(current_)];
    const std::int64_t us = std::int64_t(scrubber_->value()) * 1000;
    const std::size_t n = run.exchangesUpTo(us);
    const QString at = run.exchanges.empty()
                           ? QStringLiteral("-")
                           : run.exchanges.front().sent.addMSecs(us / 1000).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    time_->setText(QStringLiteral("%1  (%2)  %3 / %4 パケット")
                       .arg(at, elapsed(us))
                       .arg(n)
                       .arg(run.exchanges.size()));
}

bool RunViewer::eventFilter(QObject* watched, QEvent* e) {
    if (watched == window_.get() && e->type() == QEvent::Close)
        deleteLater();
    return QObject::eventFilter(watched, e);
}

}  // namespace analysis
