#include "analysis/SensitivityPage.h"
#include "analysis/ControlNames.h"

#include "analysis/Pictures.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {

const QColor kBinColour(0x20, 0x40, 0xC0);
const QColor kCurveColour(0xD0, 0x60, 0x00);

QString estimateText(const std::optional<Estimate>& e, const QString& unit) {
    if (!e)
        return QStringLiteral("-");
    return QStringLiteral("%1 %2 (95 % 区間 %3 .. %4)")
        .arg(QString::number(e->value, 'f', 1), unit, QString::number(e->low, 'f', 1), QString::number(e->high, 'f', 1));
}

QString lostLevelText(LostLevel l) {
    switch (l) {
    case LostLevel::PathLoss: return QStringLiteral("損失パケットのレベル: 距離と伝搬損失則から推定 (同時最尤推定)");
    case LostLevel::Neighbours: return QStringLiteral("損失パケットのレベル: 前後 5 秒の応答の中央値");
    case LostLevel::None: return QStringLiteral("損失パケットなし (レベル推定不要)");
    }
    return QString();
}

}  // namespace

// The success rate against the level: bins as dots with their Wilson
// interval as a whisker and their count above, the fitted curve, and the
// 50 % and 90 % levels with their intervals as shaded bands.
class SensitivityChart : public QWidget {
public:
    SensitivityChart() { setMinimumSize(420, 260); }
    void set(const Sensitivity& s, const QString& unit) {
        s_ = s;
        unit_ = unit;
        lost_ = lostLevelText(s.lostLevel);
        update();
    }
    void draw(QPainter& p, const QSize& size) const {
        p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF plot(56, 44, size.width() - 72, size.height() - 90);
        double lo = -130, hi = -60;
        if (!s_.bins.empty()) {
            lo = s_.bins.front().fromDbm - 4;
            hi = s_.bins.back().fromDbm + kSensitivityBinDb + 4;
        }
        // With a curve, the levels around it (the table lists every bin).
        if (s_.p50 && s_.p90) {
            lo = std::max(lo, std::min(s_.p50->low, s_.p90->low) - 20);
            hi = std::min(hi, std::max(s_.p50->high, s_.p90->high) + 20);
        }
        const auto sx = [&](double v) { return plot.left() + (v - lo) / (hi - lo) * plot.width(); };
        const auto sy = [&](double r) { return plot.bottom() - r * plot.height(); };
        QFont small = font();
        small.setPointSizeF(small.pointSizeF() * 0.8);
        p.setFont(small);
        p.setPen(QColor(0xDD, 0xDD, 0xDD));
        for (int pc = 0; pc <= 100; pc += 20)
            p.drawLine(QPointF(plot.left(), sy(pc / 100.0)), QPointF(plot.right(), sy(pc / 100.0)));
        const double step = (hi - lo) > 60 ? 10 : 5;
        for (double v = std::ceil(lo / step) * step; v <= hi; v += step)
            p.drawLine(QPointF(sx(v), plot.top()), QPointF(sx(v), plot.bottom()));
        p.setPen(Qt::black);
        for (int pc = 0; pc <= 100; pc += 20)
            p.drawText(QRectF(0, sy(pc / 100.0) - 8, plot.left() - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                       QStringLiteral("%1 %").arg(pc));
        for (double v = std::ceil(lo / step) * step; v <= hi; v += step)
            p.drawText(QRectF(sx(v) - 30, plot.bottom() + 2, 60, 16), Qt::AlignHCenter, QString::number(v));
        p.drawText(QRectF(plot.left(), plot.bottom() + 18, plot.width(), 16), Qt::AlignHCenter,
                   QStringLiteral("レベル (%1)").arg(unit_));
        // The levels at 50 % and 90 %: intervals shaded, values dashed.
        // The labels one under the other: the two levels may stand close.
        double labelY = plot.top() + 12;
        for (const auto& [e, name] : {std::pair{s_.p50, QStringLiteral("50 %")}, std::pair{s_.p90, QStringLiteral("90 %")}}) {
            if (!e)
                continue;
            p.fillRect(QRectF(QPointF(sx(std::max(lo, e->low)), plot.top()), QPointF(sx(std::min(hi, e->high)), plot.bottom())),
                       QColor(0xD0, 0x60, 0x00, 40));
            p.setPen(QPen(kCurveColour, 1, Qt::DashLine));
            p.drawLine(QPointF(sx(e->value), plot.top()), QPointF(sx(e->value), plot.bottom()));
            p.setPen(kCurveColour.darker(130));
            p.drawText(QPointF(sx(e->value) + 3, labelY), name);
            labelY += 14;
        }
        if (s_.midpointDbm && s_.scaleDb) {
            QPainterPath curve;
            for (int i = 0; i <= 200; ++i) {
                const double v = lo + (hi - lo) * i / 200;
                const QPointF at(sx(v), sy(s_.successAt(v)));
                i ? curve.lineTo(at) : curve.moveTo(at);
            }
            p.setPen(QPen(kCurveColour, 2));
            p.drawPath(curve);
        }
        // Counts over every bin, or every few where bins stand close.
        const double binPixels = plot.width() * kSensitivityBinDb / (hi - lo);
        const int labelEvery = std::max(1, int(std::ceil(22 / binPixels)));
        int index = 0;
        for (const SensitivityBin& b : s_.bins) {
            const double x = sx(b.fromDbm + kSensitivityBinDb / 2);
            if (b.fromDbm < lo || b.fromDbm + kSensitivityBinDb > hi)
                continue;
            p.setPen(QPen(kBinColour, 1.5));
            p.drawLine(QPointF(x, sy(b.ci.low)), QPointF(x, sy(b.ci.high)));
            p.drawLine(QPointF(x - 3, sy(b.ci.low)), QPointF(x + 3, sy(b.ci.low)));
            p.drawLine(QPointF(x - 3, sy(b.ci.high)), QPointF(x + 3, sy(b.ci.high)));
            p.setBrush(kBinColour);
            p.drawEllipse(QPointF(x, sy(b.answered / b.total)), 3, 3);
            p.setBrush(Qt::NoBrush);
            p.setPen(QColor(0x50, 0x50, 0x50));
            if (index++ % labelEvery == 0)
                p.drawText(QRectF(x - 20, sy(b.ci.high) - 15, 40, 13), Qt::AlignHCenter | Qt::AlignBottom,
                       QString::number(std::lround(b.total)));
        }
        p.setPen(QColor(0x88, 0x88, 0x88));
        p.drawRect(plot);
        p.setPen(Qt::black);
        p.setFont(font());
        p.drawText(QRectF(8, 2, size.width() - 16, 30), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("点: 2 dB ごとの成功率と 95 % 区間 (Wilson)、数字は件数   線: ロジスティック近似 (最尤法)\n") + lost_);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        draw(p, size());
    }

private:
    Sensitivity s_;
    QString unit_ = QStringLiteral("dBm");
    QString lost_;
};

SensitivityPage::SensitivityPage(QWidget* parent) : QWidget(parent) {
    nameControl(this, QStringLiteral("SensitivityPage"));
    level_ = new QComboBox;
    nameControl(level_, QStringLiteral("SensitivityLevel"));
    level_->addItems({QStringLiteral("相手受信 RSSI"), QStringLiteral("自局受信 RSSI"), QStringLiteral("マージン")});
    auto* png = new QPushButton(QStringLiteral("PNG 保存"));
    nameControl(png, QStringLiteral("SensitivitySavePng"));
    auto* svg = new QPushButton(QStringLiteral("SVG 保存"));
    nameControl(svg, QStringLiteral("SensitivitySaveSvg"));
    chart_ = new SensitivityChart;
    nameControl(chart_, QStringLiteral("SensitivityChart"));
    chart_->setAccessibleDescription(QStringLiteral("レベルに対する成功率"));
    figures_ = new QLabel;
    nameControl(figures_, QStringLiteral("SensitivityFigures"));
    figures_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bins_ = new QTableWidget(0, 5);
    nameControl(bins_, QStringLiteral("SensitivityBins"));
    bins_->setHorizontalHeaderLabels({QStringLiteral("レベル"), QStringLiteral("成功"), QStringLiteral("件数"),
                                      QStringLiteral("成功率"), QStringLiteral("95 % 区間")});
    bins_->verticalHeader()->hide();
    bins_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    bins_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    bins_->setMinimumWidth(300);

    auto* row = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("レベル"));
    caption->setBuddy(level_);
    row->addWidget(caption);
    row->addWidget(level_);
    row->addStretch(1);
    row->addWidget(png);
    row->addWidget(svg);
    auto* middle = new QHBoxLayout;
    middle->addWidget(chart_, 1);
    middle->addWidget(bins_);
    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(0, 0, 0, 0);
    all->addLayout(row);
    all->addLayout(middle, 1);
    all->addWidget(figures_);

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &SensitivityPage::refit);
    connect(level_, &QComboBox::currentIndexChanged, this, [this](int i) { show(Level(i)); });
    connect(png, &QPushButton::clicked, this, [this] { emit saveRequested(QStringLiteral("png")); });
    connect(svg, &QPushButton::clicked, this, [this] { emit saveRequested(QStringLiteral("svg")); });
    clear();
}

void SensitivityPage::clear(bool lora) {
    lora_ = lora;
    levels_.clear();
    results_ = {};
    dirty_ = false;
    timer_->stop();
    show(Level(level_->currentIndex()));
}

void SensitivityPage::addExchange(const records::Exchange& e) {
    levels_.add(e);
    dirty_ = true;
    schedule();
}

void SensitivityPage::setShown(bool shown) {
    shown_ = shown;
    if (dirty_) {
        timer_->stop();
        schedule();
    }
}

void SensitivityPage::schedule() {
    // A long run's fit takes a while: it never takes more than a tenth of
    // the time.
    if (!timer_->isActive())
        timer_->start(std::max(shown_ ? kRefitMs : kHiddenRefitMs, int(10 * lastFitMs_)));
}

void SensitivityPage::setLevel(Level level) { level_->setCurrentIndex(int(level)); }

void SensitivityPage::refit() {
    timer_->stop();
    dirty_ = false;
    QElapsedTimer took;
    took.start();
    const double fallback = defaultThresholdDbm(lora_);
    results_[Far] = analyseLevels(levels_.far, fallback);
    results_[Ack] = analyseLevels(levels_.ack, fallback);
    results_[Margin] = analyseLevels(levels_.margin, fallback);
    lastFitMs_ = took.elapsed();
    show(Level(level_->currentIndex()));
    if (results_[Far].sensitivity.p90)
        emit farP90Measured(results_[Far].sensitivity.p90->value);
}

void SensitivityPage::show(Level level) {
    const Sensitivity& s = results_[level].sensitivity;
    const QString unit = level == Margin ? QStringLiteral("dB") : QStringLiteral("dBm");
    chart_->set(s, unit);
    bins_->setRowCount(int(s.bins.size()));
    for (int i = 0; i < int(s.bins.size()); ++i) {
        const SensitivityBin& b = s.bins[std::size_t(i)];
        const QStringList cells{QStringLiteral("%1 .. %2").arg(b.fromDbm).arg(b.fromDbm + kSensitivityBinDb),
                                QString::number(b.answered, 'f', 0), QString::number(b.total, 'f', 0),
                                QString::number(100 * b.answered / b.total, 'f', 1) + QStringLiteral(" %"),
                                QStringLiteral("%1 .. %2 %").arg(QString::number(100 * b.ci.low, 'f', 1),
                                                                  QString::number(100 * b.ci.high, 'f', 1))};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            bins_->setItem(i, c, item);
        }
    }
    QString text = QStringLiteral("成功率 50 %: %1    成功率 90 %: %2\n")
                       .arg(estimateText(s.p50, unit), estimateText(s.p90, unit));
    text += QStringLiteral("%1   応答 %2, 損失 %3 (レベル不明 %4)   区間: プロファイル尤度")
                .arg(lostLevelText(s.lostLevel))
                .arg(s.answered)
                .arg(s.lost)
                .arg(s.unplaced);
    figures_->setText(text);
}

bool SensitivityPage::savePicture(const QString& path, QString* error) {
    if (dirty_)
        refit();
    const QSize chartSize = chart_->size().isEmpty() || !chart_->isVisible() ? QSize(900, 520) : chart_->size();
    return writeChartWithFigures(
        path, chartSize, QStringLiteral("感度 (レベルに対する成功率)"),
        [&](QPainter& p, const QSize& s) { chart_->draw(p, s); }, figures_->text(), font(),
        figures_->sizeHint().height(), error);
}

}  // namespace analysis
