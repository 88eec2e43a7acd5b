#include "analysis/CoveragePane.h"
#include "analysis/ControlNames.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace analysis {

namespace {

template <typename W>
W* named(W* w, const char* n) {
    return nameControl(w, QLatin1String(n));
}

}  // namespace

CoveragePane::CoveragePane(QWidget* parent) : QWidget(parent) {
    named(this, "MapPage");
    map_ = new CoverageMap;
    value_ = named(new QComboBox, "MapValue");
    for (const records::Signal& s : records::kSignals)
        if (s.scale != records::ColourScale::None)
            value_->addItem(QString::fromUtf8(s.caption), int(s.level));
    view_ = named(new QComboBox, "MapView");
    view_->addItem(QStringLiteral("点"), int(CoverageMap::View::Points));
    view_->addItem(QStringLiteral("格子: 成功率"), int(CoverageMap::View::GridSuccess));
    view_->addItem(QStringLiteral("格子: 中央値"), int(CoverageMap::View::GridMedian));
    cellSize_ = named(new QComboBox, "MapCellSize");
    for (int m : kCellSizes)
        cellSize_->addItem(QStringLiteral("%1 m").arg(m), m);
    cellSize_->setCurrentIndex(cellSize_->findData(int(map_->cellSize())));
    minSamples_ = named(new QSpinBox, "MapMinSamples");
    minSamples_->setRange(1, 1000);
    minSamples_->setValue(map_->minSamples());
    minSamples_->setSuffix(QStringLiteral(" 点以上"));
    minSamples_->setKeyboardTracking(false);
    minSamples_->setAccessibleDescription(QStringLiteral("格子の最少点数"));
    tiles_ = new TileSourceControl(*map_);
    auto* png = named(new QPushButton(QStringLiteral("PNG 保存")), "MapSavePng");
    auto* svg = named(new QPushButton(QStringLiteral("SVG 保存")), "MapSaveSvg");

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("色")));
    row->addWidget(value_);
    row->addSpacing(12);
    row->addWidget(new QLabel(QStringLiteral("表示")));
    row->addWidget(view_);
    row->addSpacing(12);
    row->addWidget(new QLabel(QStringLiteral("格子")));
    row->addWidget(cellSize_);
    row->addWidget(minSamples_);
    row->addStretch(1);
    row->addWidget(tiles_);
    row->addSpacing(12);
    row->addWidget(png);
    row->addWidget(svg);
    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(0, 0, 0, 0);
    all->addLayout(row);
    all->addWidget(map_, 1);

    for (QComboBox* c : {value_, view_, cellSize_})
        connect(c, &QComboBox::currentIndexChanged, this, &CoveragePane::apply);
    connect(minSamples_, &QSpinBox::valueChanged, this, &CoveragePane::apply);
    connect(png, &QPushButton::clicked, this, [this] { emit saveRequested(QStringLiteral("png")); });
    connect(svg, &QPushButton::clicked, this, [this] { emit saveRequested(QStringLiteral("svg")); });
    apply();
}

void CoveragePane::apply() {
    const bool grid = view_->currentData().toInt() != int(CoverageMap::View::Points);
    cellSize_->setEnabled(grid);
    minSamples_->setEnabled(grid);
    map_->setValue(MapValue(value_->currentData().toInt()));
    map_->setView(CoverageMap::View(view_->currentData().toInt()));
    map_->setCellSize(cellSize_->currentData().toInt());
    map_->setMinSamples(minSamples_->value());
}

}  // namespace analysis
