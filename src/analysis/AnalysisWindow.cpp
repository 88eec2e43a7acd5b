#include "analysis/AnalysisWindow.h"
#include "analysis/ControlNames.h"

#include "analysis/CoveragePane.h"
#include "analysis/LinkCharts.h"
#include "analysis/RssiDistancePlot.h"
#include "analysis/SensitivityPage.h"
#include "records/Signals.h"

#include <cmath>

#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace analysis {

namespace {

const QString kNone = QStringLiteral("-");

QString number(std::optional<double> v, int decimals, const QString& unit, double scale = 1) {
    return v ? QString::number(*v * scale, 'f', decimals) + QLatin1Char(' ') + unit : kNone;
}

QString micros(std::optional<std::int64_t> us) {
    return us ? QString::number(double(*us) / 1000, 'f', 3) + QStringLiteral(" ms") : kNone;
}

QString percent(std::optional<double> v) { return number(v, 2, QStringLiteral("%"), 100); }

QString seconds(std::int64_t us) { return QString::number(double(us) / 1e6, 'f', 1) + QStringLiteral(" s"); }

void name(QWidget* w, const QString& n) { nameControl(w, n); }

// A figure's label takes a fixed size, at least its text's: a label of
// fixed size that changes its text lays out no window around it, it only
// repaints itself. A text that does not fit widens it (one layout then).
constexpr int kTextRoom = 8;  // beside the text's advance: the label's document margins

void holdSize(QLabel* l) {
    QSize want = l->sizeHint().expandedTo(l->minimumSize());
    want.setWidth(std::max(want.width(), l->fontMetrics().horizontalAdvance(l->text()) + kTextRoom));
    if (want != l->minimumSize() || l->minimumSize() != l->maximumSize())
        l->setFixedSize(want);
}

// The window's content scrolls when the window is smaller than the content
// wants, so the window fits a small laptop screen.
QScrollArea* scrolling(QWidget* page) {
    auto* area = new QScrollArea;
    area->setObjectName(page->objectName() + QStringLiteral("Scroll"));
    area->setWidget(page);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    return area;
}

// Screen readers announce a box or figure with the caption laid out just
// before it; the accessible names of boxes and figures stay the names tools
// address them by.
void tieCaptions(QWidget* root) {
    for (QLayout* layout : root->findChildren<QLayout*>()) {
        QLabel* pending = nullptr;
        for (int i = 0; i < layout->count(); ++i) {
            QWidget* w = layout->itemAt(i)->widget();
            auto* label = qobject_cast<QLabel*>(w);
            const bool figure = label && (label->textInteractionFlags() & Qt::TextSelectableByMouse);
            if (pending && w && w->accessibleDescription().isEmpty() &&
                (figure || qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QComboBox*>(w) ||
                 qobject_cast<QLineEdit*>(w))) {
                if (!label)
                    pending->setBuddy(w);
                w->setAccessibleDescription(pending->text());
                pending = nullptr;
                continue;
            }
            pending = label && !figure && !label->text().isEmpty() ? label : nullptr;
        }
    }
}

}  // namespace

AnalysisWindow::AnalysisWindow(RunRecorder& recorder, QString settingsPath, QWidget* parent)
    : QWidget(parent, Qt::Window), rec_(recorder), settingsPath_(std::move(settingsPath)) {
    name(this, QStringLiteral("AnalysisWindow"));
    setWindowTitle(QStringLiteral("リンク解析"));
    QFont f = font();
    f.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("Noto Sans CJK JP")});
    f.setPointSizeF(9);
    setFont(f);

    auto* top = new QHBoxLayout;
    runState_ = new QLabel;
    name(runState_, QStringLiteral("RunState"));
    alarmState_ = new QLabel;
    name(alarmState_, QStringLiteral("AlarmState"));
    alarmState_->setAutoFillBackground(true);
    alarmState_->setMargin(3);
    sinceLast_ = new QLabel;
    name(sinceLast_, QStringLiteral("SinceLastAnswer"));
    figures_.insert(sinceLast_->objectName(), sinceLast_);
    top->addWidget(runState_);
    top->addSpacing(12);
    top->addWidget(caption(QStringLiteral("最終応答から")));
    top->addWidget(sinceLast_);
    top->addSpacing(12);
    top->addWidget(alarmState_, 1);
    top->addWidget(openButton());
    setAcceptDrops(true);

    auto* left = new QVBoxLayout;
    left->addWidget(countsBox());
    left->addWidget(rateBox());
    left->addWidget(rttBox());
    left->addWidget(levelBox());
    left->addStretch(1);

    charts_ = new LinkCharts(this);
    charts_->setOwnTimer(false);  // drawn in the window's pass (refreshPass)
    auto* plots = new QGridLayout;
    plots->addWidget(charts_->rollingView(), 0, 0);
    plots->addWidget(charts_->histogramView(), 0, 1);
    plots->addWidget(charts_->rssiView(), 1, 0);
    plots->addWidget(charts_->marginView(), 1, 1);

    auto* statistics = new QWidget;
    statistics_ = statistics;
    name(statistics, QStringLiteral("StatisticsPage"));
    auto* middle = new QHBoxLayout(statistics);
    middle->setContentsMargins(0, 0, 0, 0);
    middle->addLayout(left);
    middle->addLayout(plots, 1);

    mapPane_ = new CoveragePane;
    distance_ = new RssiDistancePlot;
    name(distance_, QStringLiteral("DistancePage"));
    tabs_ = new QTabWidget;
    name(tabs_, QStringLiteral("AnalysisTabs"));
    tabs_->addTab(statistics, QStringLiteral("統計"));
    tabs_->addTab(mapPane_, QStringLiteral("地図"));
    tabs_->addTab(distance_, QStringLiteral("距離と RSSI"));
    sensitivity_ = new SensitivityPage;
    tabs_->addTab(sensitivity_, QStringLiteral("感度"));
    connect(sensitivity_, &SensitivityPage::saveRequested, this,
            [this](const QString& suffix) { savePicture(sensitivity_, suffix); });
    // The reach threshold shows the measured 90 % level until the operator
    // sets one.
    connect(sensitivity_, &SensitivityPage::farP90Measured, distance_, &RssiDistancePlot::showMeasuredThreshold);
    connect(tabs_, &QTabWidget::currentChanged, this, &AnalysisWindow::showPlotWhenVisible);
    connect(mapPane_, &CoveragePane::saveRequested, this,
            [this](const QString& suffix) { savePicture(mapPane_, suffix); });
    connect(&mapPane_->tiles(), &TileSourceControl::chosen, this, &AnalysisWindow::onTilesChosen);
    connect(distance_, &RssiDistancePlot::saveRequested, this,
            [this](const QString& suffix) { savePicture(distance_, suffix); });

    status_ = new QLabel;
    name(status_, QStringLiteral("AnalysisStatus"));
    status_->setStyleSheet(QStringLiteral("color: #B00000"));
    status_->setTextFormat(Qt::PlainText);   // it shows file names, which may hold anything

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("AnalysisContent"));
    auto* all = content_ = new QVBoxLayout(content);
    all->addLayout(top);
    all->addWidget(tabs_, 1);
    all->addWidget(markerRow());
    all->addWidget(settingsRow());
    all->addWidget(status_);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scrolling(content));

    clock_ = new QTimer(this);
    clock_->setInterval(kClockRefreshMs);
    connect(clock_, &QTimer::timeout, this, [this] {
        // During a run the pass rides on every other tick of the clock, so
        // one repaint shows the clock, the figures and the plots.
        if (figuresStale_ && figuresInView() &&
            (!lastPass_.isValid() || lastPass_.elapsed() >= kFiguresMs - kClockRefreshMs / 2))
            refreshPass();
        else
            refreshClock();
    });
    // Outside a run (no clock going) a change is shown after kFiguresMs.
    figuresTimer_ = new QTimer(this);
    figuresTimer_->setSingleShot(true);
    figuresTimer_->setInterval(kFiguresMs);
    connect(figuresTimer_, &QTimer::timeout, this, &AnalysisWindow::refreshPass);

    connect(&rec_, &RunRecorder::runStarted, this, &AnalysisWindow::onRunStarted);
    connect(&rec_, &RunRecorder::exchangeAdded, this, &AnalysisWindow::onExchangeAdded);
    connect(&rec_, &RunRecorder::lateAnswerAdded, this, &AnalysisWindow::onLateAnswer);
    connect(&rec_, &RunRecorder::figuresChanged, this, &AnalysisWindow::onFiguresChanged);
    connect(&rec_, &RunRecorder::runEnded, this, &AnalysisWindow::onRunEnded);
    connect(&rec_, &RunRecorder::markerAdded, this, &AnalysisWindow::onMarkerAdded);
    connect(&rec_, &RunRecorder::alarmRaised, this, &AnalysisWindow::onAlarmChanged);
    connect(&rec_, &RunRecorder::alarmCleared, this, &AnalysisWindow::onAlarmChanged);
    connect(&rec_, &RunRecorder::writeFailed, this, &AnalysisWindow::onWriteFailed);
    connect(&rec_, &RunRecorder::settingsChanged, this, &AnalysisWindow::showSettings);

    showSettings(rec_.settings());
    showRunState();
    refreshFigures();
    for (QLabel* l : std::as_const(figures_))
        holdSize(l);
    tieCaptions(this);
    // The design size, within the screen's free area.
    QSize size(1180, 760);
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(16, 40));
    resize(size);
}

AnalysisWindow::~AnalysisWindow() = default;

QLabel* AnalysisWindow::addFigure(QGridLayout* grid, int row, int column, const QString& objectName,
                                  const QString& text) {
    if (!text.isEmpty())
        grid->addWidget(caption(text), row, column - 1);
    auto* value = new QLabel(kNone);
    name(value, objectName);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setMinimumWidth(88);   // held at its size (holdSize) once the window is built
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(value, row, column);
    figures_.insert(objectName, value);
    return value;
}

QGroupBox* AnalysisWindow::figureBox(const QString& objectName, const QString& title,
                                     std::initializer_list<FigureSpec> specs) {
    auto* box = new QGroupBox(title);
    name(box, objectName);
    auto* g = new QGridLayout(box);
    for (const FigureSpec& s : specs)
        addFigure(g, s.row, s.column, QLatin1String(s.name), s.caption);
    return box;
}

QGroupBox* AnalysisWindow::countsBox() {
    return figureBox(QStringLiteral("CountsBox"), QStringLiteral("パケット数"),
                     {{0, 1, "Evaluated", QStringLiteral("評価")},
                      {0, 3, "Answered", QStringLiteral("応答")},
                      {1, 1, "Lost", QStringLiteral("損失")},
                      {1, 3, "Late", QStringLiteral("うち遅延応答")}});
}

QGroupBox* AnalysisWindow::rateBox() {
    return figureBox(QStringLiteral("RateBox"), QStringLiteral("誤り率と途絶"),
                     {{0, 1, "Per", QStringLiteral("パケット誤り率")},
                      {1, 1, "PerInterval", QStringLiteral("95 % 区間")},
                      {2, 1, "RollingPer", QStringLiteral("直近の誤り率")},
                      {3, 1, "LongestOutage", QStringLiteral("最長途絶")},
                      {4, 1, "AnsweredPerMinute", QStringLiteral("応答数")}});
}

QGroupBox* AnalysisWindow::rttBox() {
    return figureBox(QStringLiteral("RttBox"), QStringLiteral("往復時間"),
                     {{0, 1, "RttMin", QStringLiteral("最小")},
                      {1, 1, "RttMean", QStringLiteral("平均")},
                      {2, 1, "RttMax", QStringLiteral("最大")},
                      {3, 1, "RttMdev", QStringLiteral("mdev")},
                      {0, 3, "RttP50", QStringLiteral("p50")},
                      {1, 3, "RttP95", QStringLiteral("p95")},
                      {2, 3, "RttP99", QStringLiteral("p99")}});
}

QGroupBox* AnalysisWindow::levelBox() {
    auto* box = new QGroupBox(QStringLiteral("受信レベル"));
    name(box, QStringLiteral("LevelBox"));
    auto* g = new QGridLayout(box);
    const QStringList columns{QStringLiteral("平均"), QStringLiteral("最小"), QStringLiteral("最大"),
                              QStringLiteral("標準偏差")};
    for (int c = 0; c < columns.size(); ++c) {
        QLabel* head = caption(columns[c]);
        head->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        g->addWidget(head, 0, c + 1);
    }
    const QStringList cells{QStringLiteral("Mean"), QStringLiteral("Min"), QStringLiteral("Max"),
                            QStringLiteral("Sd")};
    int r = 0;
    for (const records::Signal& level : records::kSignals) {
        ++r;
        const QString title = QString::fromUtf8(level.caption);
        g->addWidget(caption(title), r, 0);
        for (int c = 0; c < cells.size(); ++c)
            addFigure(g, r, c + 1, QLatin1String(level.name) + cells[c])
                ->setAccessibleDescription(title + QLatin1Char(' ') + columns[c]);
    }
    return box;
}

QWidget* AnalysisWindow::markerRow() {
    auto* row = new QWidget;
    name(row, QStringLiteral("MarkerRow"));
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    markerNote_ = new QLineEdit;
    name(markerNote_, QStringLiteral("MarkerNote"));
    markerNote_->setMaxLength(RunRecorder::kMaxNoteLength);
    markerNote_->setPlaceholderText(QStringLiteral("メモ (任意)"));
    markerButton_ = new QPushButton(QStringLiteral("マーカー (F2)"));
    name(markerButton_, QStringLiteral("MarkerButton"));
    lastMarker_ = new QLabel;
    name(lastMarker_, QStringLiteral("MarkerLast"));
    h->addWidget(caption(QStringLiteral("マーカー メモ")));
    h->addWidget(markerNote_, 1);
    h->addWidget(markerButton_);
    h->addWidget(lastMarker_, 2);
    connect(markerButton_, &QPushButton::clicked, this, &AnalysisWindow::dropMarker);
    connect(markerNote_, &QLineEdit::returnPressed, this, &AnalysisWindow::dropMarker);
    auto* f2 = new QShortcut(QKeySequence(Qt::Key_F2), this);
    f2->setObjectName(QStringLiteral("MarkerShortcut"));
    connect(f2, &QShortcut::activated, this, &AnalysisWindow::dropMarker);
    return row;
}

void AnalysisWindow::set(const QString& key, const QString& text) {
    QLabel* l = figures_.value(key);
    if (!l || l->text() == text)
        return;
    l->setText(text);
    // Measured by the text's advance: a size hint would lay the document out again.
    if (l->minimumSize() == l->maximumSize() &&
        l->fontMetrics().horizontalAdvance(text) + kTextRoom > l->width())
        holdSize(l);
}

bool AnalysisWindow::figuresInView() const { return isVisible() && tabs_->currentWidget() == statistics_; }

// The plots note every exchange as it comes (they draw it at their next
// update); the labels wait for the next pass.
void AnalysisWindow::onFiguresChanged() {
    if (pending_) {
        // A recorded run fed in bulk: the running figures only (no
        // percentiles per exchange); endBulk() shows where it ended.
        charts_->addExchange(*pending_, bulk_ ? rec_.statistics().runningFigures() : rec_.figures());
        pending_.reset();
    }
    if (bulk_)
        return;
    figuresStale_ = true;
    if (figuresInView() && !clock_->isActive() && !figuresTimer_->isActive())
        figuresTimer_->start();
}

// One pass: the plots and the figures together, so one repaint shows both.
void AnalysisWindow::refreshPass() {
    // During a run the plots wait for every other pass; outside one (a
    // change, the run's end, a file) they are drawn with the figures.
    if (!clock_->isActive() || !lastPlots_.isValid() ||
        lastPlots_.elapsed() >= kPlotsMs - kClockRefreshMs / 2)
        refreshPlots();
    refreshFigures();
}

void AnalysisWindow::refreshPlots() {
    charts_->flush();
    lastPlots_.start();
}

void AnalysisWindow::refreshFigures() {
    lastPass_.start();
    figuresStale_ = false;
    figuresTimer_->stop();
    ++figureRefreshes_;
    const Figures f = rec_.figures();
    set(QStringLiteral("Evaluated"), QString::number(f.evaluated));
    set(QStringLiteral("Answered"), QString::number(f.answered));
    set(QStringLiteral("Lost"), QString::number(f.lost));
    set(QStringLiteral("Late"), QString::number(f.late));
    set(QStringLiteral("Per"), percent(f.per));
    set(QStringLiteral("PerInterval"),
        f.perInterval ? QStringLiteral("%1 – %2 %")
                            .arg(QString::number(f.perInterval->low * 100, 'f', 2),
                                 QString::number(f.perInterval->high * 100, 'f', 2))
                      : kNone);
    set(QStringLiteral("RollingPer"), f.rollingPer ? QStringLiteral("%1 (%2 / %3 パケット)")
                                                         .arg(percent(f.rollingPer))
                                                         .arg(f.rollingCount)
                                                         .arg(f.rollingWindow)
                                                   : kNone);
    set(QStringLiteral("LongestOutage"), QStringLiteral("%1 パケット (%2 s)")
                                             .arg(f.longestOutage)
                                             .arg(QString::number(double(f.longestOutageUs) / 1e6, 'f', 3)));
    set(QStringLiteral("AnsweredPerMinute"), number(f.answeredPerMinute, 1, QStringLiteral("パケット/分")));
    const RttFigures& r = f.rtt;
    set(QStringLiteral("RttMin"), micros(r.minUs));
    set(QStringLiteral("RttMean"), number(r.meanUs, 3, QStringLiteral("ms"), 1e-3));
    set(QStringLiteral("RttMax"), micros(r.maxUs));
    set(QStringLiteral("RttMdev"), number(r.mdevUs, 3, QStringLiteral("ms"), 1e-3));
    const QString approx = r.percentilesExact ? QString() : QStringLiteral("≈");
    set(QStringLiteral("RttP50"), approx + micros(r.p50Us));
    set(QStringLiteral("RttP95"), approx + micros(r.p95Us));
    set(QStringLiteral("RttP99"), approx + micros(r.p99Us));
    for (const records::Signal& level : records::kSignals) {
        const Spread& s = f.levels[level];
        const QString unit = QLatin1String(level.unit);
        const QString key = QLatin1String(level.name);
        set(key + QStringLiteral("Mean"), number(s.mean(), 1, unit));
        set(key + QStringLiteral("Min"), number(s.min(), 0, unit));
        set(key + QStringLiteral("Max"), number(s.max(), 0, unit));
        set(key + QStringLiteral("Sd"), number(s.stddev(), 1, unit));
    }
    refreshClock();
}

void AnalysisWindow::refreshClock() {
    if (!rec_.running()) {
        set(QStringLiteral("SinceLastAnswer"), kNone);
    } else {
        const std::int64_t now = rec_.now().us;
        const std::optional<std::int64_t> since = rec_.statistics().sinceLastAnswerUs(now);
        set(QStringLiteral("SinceLastAnswer"), since ? seconds(*since) : QStringLiteral("応答なし"));
    }
    onAlarmChanged();
}

void AnalysisWindow::onAlarmChanged() {
    QStringList alarms;
    if (rec_.alarmActive(AlarmKind::DeadLink))
        alarms << QStringLiteral("回線断警報: %1 回連続損失").arg(rec_.consecutiveLosses());
    if (rec_.alarmActive(AlarmKind::GpsFix))
        alarms << QStringLiteral("GPS 測位断警報");
    const QString text = alarms.isEmpty() ? QStringLiteral("警報なし") : alarms.join(QStringLiteral("  /  "));
    if (alarmState_->text() == text)
        return;
    alarmState_->setText(text);
    alarmState_->setStyleSheet(alarms.isEmpty() ? QStringLiteral("color: #006000")
                                                : QStringLiteral("color: white; background: #C00000; "
                                                                 "font-weight: bold"));
}

void AnalysisWindow::onRunStarted(const records::RunStart& r) {
    pending_.reset();
    sensitivity_->clear(r.mode == records::Mode::LoRa);
    charts_->clear();
    mapPane_->map().clear();
    mapPane_->map().setMode(r.mode);
    distance_->clear(r.mode == records::Mode::LoRa);
    lastMarker_->clear();
    status_->clear();
    showRunState();
    if (isVisible())
        clock_->start();
}

void AnalysisWindow::onExchangeAdded(const records::Exchange& e) {
    pending_ = e;
    mapPane_->map().addExchange(e);
    distance_->addExchange(e);
    sensitivity_->addExchange(e);
}

void AnalysisWindow::onLateAnswer(const records::LateAnswer& l) { mapPane_->map().markLate(l.packet); }

CoverageMap& AnalysisWindow::map() const { return mapPane_->map(); }

void AnalysisWindow::setDatum(double latitude, double longitude) {
    mapPane_->map().setDatum(latitude, longitude);
    distance_->setDatum(latitude, longitude);
}

bool AnalysisWindow::saveMapPicture(const QString& path, QString* error) const {
    return mapPane_->map().savePicture(path, error);
}

// The suggested name is the run's own (<log>.map.png, <log>.rssi-distance.svg)
// beside its logs, or a plain name in the current folder.
void AnalysisWindow::savePicture(QWidget* page, const QString& suffix) {
    const bool map = page == mapPane_;
    QString suggested = rec_.mapPicturePath();
    const bool sens = page == sensitivity_;
    const QString kind = map ? QStringLiteral(".map.") : sens ? QStringLiteral(".sensitivity.") : QStringLiteral(".rssi-distance.");
    suggested = suggested.isEmpty() ? QDir::current().filePath(QStringLiteral("coverage") + kind + suffix)
                                    : suggested.chopped(int(qstrlen(".map.png"))) + kind + suffix;
    const QString path = chooser_ ? chooser_(suggested)
                                  : QFileDialog::getSaveFileName(this, QStringLiteral("図の保存"), suggested,
                                                                 suffix.toUpper() + QStringLiteral(" (*.") + suffix +
                                                                     QLatin1Char(')'));
    if (path.isEmpty())
        return;
    QString error;
    const bool ok = map ? saveMapPicture(path, &error)
                  : sens ? sensitivity_->savePicture(path, &error) : distance_->savePicture(path, &error);
    status_->setText(ok ? QString() : QStringLiteral("図の保存失敗: %1 (%2)").arg(QFileInfo(path).fileName(), error));
}

// Only the page in view does any work; the one coming into view catches up.
void AnalysisWindow::showPlotWhenVisible() {
    distance_->setShown(isVisible() && tabs_->currentWidget() == distance_);
    sensitivity_->setShown(isVisible() && tabs_->currentWidget() == sensitivity_);
    charts_->setVisible(figuresInView());
    if (figuresInView()) {
        refreshPlots();  // no-op when nothing is new
        if (figuresStale_)
            refreshFigures();
    }
}

void AnalysisWindow::onRunEnded(const records::RunEnd&) {
    clock_->stop();
    distance_->runEnded();
    if (figuresInView()) {
        // The run's last figures and points, with no clock left to bring them.
        refreshPlots();
        if (figuresStale_)
            refreshFigures();
    }
    showRunState();
    refreshClock();
}

void AnalysisWindow::showRunState() {
    runState_->setText(rec_.running() ? QStringLiteral("試験中 (ラン %1)").arg(rec_.runStart().runId)
                                      : QStringLiteral("停止中"));
    markerButton_->setEnabled(rec_.running());
}

void AnalysisWindow::onMarkerAdded(const records::Marker& m) {
    mapPane_->map().addMarker(m);
    QString text = QStringLiteral("マーカー %1  %2  パケット %3 の後")
                       .arg(m.number)
                       .arg(m.time.toString(QStringLiteral("HH:mm:ss")))
                       .arg(m.afterPacket);
    if (!m.note.isEmpty())
        text += QStringLiteral("  ") + m.note;
    lastMarker_->setText(text);
}

void AnalysisWindow::dropMarker() {
    if (!rec_.running())
        return;
    rec_.dropMarker(markerNote_->text());
    markerNote_->clear();
}

void AnalysisWindow::onWriteFailed(const QString& path, const QString& reason) {
    status_->setText(QStringLiteral("書込失敗: %1 (%2)").arg(QFileInfo(path).fileName(), reason));
}

void AnalysisWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    showPlotWhenVisible();
    if (rec_.running())
        clock_->start();
    refreshClock();
}

void AnalysisWindow::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    charts_->setVisible(false);
    distance_->setShown(false);
    sensitivity_->setShown(false);
    clock_->stop();
}

}  // namespace analysis
