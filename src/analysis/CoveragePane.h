#pragma once
// The map page of the analysis window: the coverage map under a row of its
// controls (the value that colours the points, points or grid view, the
// cell size, the minimum samples of a drawn cell, the base map's source,
// and the save buttons).
#include "analysis/CoverageMap.h"
#include "analysis/TileSourceControl.h"

#include <QWidget>

class QComboBox;
class QSpinBox;

namespace analysis {

class CoveragePane : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCellSizes[] = {25, 50, 100};

    explicit CoveragePane(QWidget* parent = nullptr);
    CoverageMap& map() const { return *map_; }
    TileSourceControl& tiles() const { return *tiles_; }

signals:
    // A save button: "png" or "svg".
    void saveRequested(const QString& suffix);

private:
    void apply();

    CoverageMap* map_ = nullptr;
    TileSourceControl* tiles_ = nullptr;
    QComboBox* value_ = nullptr;
    QComboBox* view_ = nullptr;
    QComboBox* cellSize_ = nullptr;
    QSpinBox* minSamples_ = nullptr;
};

}  // namespace analysis
