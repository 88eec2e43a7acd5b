#pragma once
// The analysis window's sensitivity page: the success rate against a level
// (far-end RSSI, answer RSSI or margin, chosen on the page) in 2 dB bins,
// each with its Wilson interval and sample count, the logistic curve fitted
// by maximum likelihood and the levels at 50 % and 90 % success with their
// intervals (Sensitivity.h). The legend says how lost packets got a level.
//
// Exchanges are noted as they come; the fit follows at most every
// kRefitMs while the page is shown, every kHiddenRefitMs while it is not
// (the far-end 90 % level is the distance page's threshold), and never
// more often than ten times the last fit took.
#include "records/Exchange.h"
#include "stats/Sensitivity.h"

#include <QWidget>

#include <array>

class QComboBox;
class QLabel;
class QTableWidget;
class QTimer;

namespace analysis {

class SensitivityChart;

class SensitivityPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefitMs = 1000;
    static constexpr int kHiddenRefitMs = 10000;
    enum Level { Far, Ack, Margin };

    explicit SensitivityPage(QWidget* parent = nullptr);

    // A new run: lora picks the reach's default threshold.
    void clear(bool lora = false);
    void addExchange(const records::Exchange& e);
    void setShown(bool shown);
    // Fits now.
    void refit();
    void setLevel(Level level);
    const LevelAnalysis& analysis(Level level) const { return results_[level]; }
    // PNG or SVG (by suffix) of the plot and its figures.
    bool savePicture(const QString& path, QString* error = nullptr);

signals:
    void saveRequested(const QString& suffix);
    // The far-end RSSI's 90 % level after a fit that measured one.
    void farP90Measured(double dbm);

private:
    void schedule();
    void show(Level level);

    LevelSeries levels_;
    bool lora_ = false;
    std::array<LevelAnalysis, 3> results_;
    bool dirty_ = false, shown_ = false;
    qint64 lastFitMs_ = 0;
    QTimer* timer_ = nullptr;
    QComboBox* level_ = nullptr;
    SensitivityChart* chart_ = nullptr;
    QLabel* figures_ = nullptr;
    QTableWidget* bins_ = nullptr;
};

}  // namespace analysis
