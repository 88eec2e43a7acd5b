#pragma once
// Saving a drawing as a picture file: SVG when the name ends in ".svg"
// (vector, through QSvgGenerator), otherwise PNG. The file is replaced
// whole or not at all; a failure is reported in *error with the reason.
#include <QSize>
#include <QString>

#include <functional>

class QFont;

class QPainter;

namespace analysis {

using DrawFn = std::function<void(QPainter& painter, const QSize& size)>;

bool writePicture(const QString& path, const QSize& size, const QString& title, const DrawFn& draw,
                  QString* error = nullptr);

// A plot's picture: the chart (drawn into chartSize) on white, and below it
// the plot's figures as plain text in `font`, as the pages show them.
bool writeChartWithFigures(const QString& path, const QSize& chartSize, const QString& title, const DrawFn& drawChart,
                           const QString& figures, const QFont& font, int figuresHeight, QString* error = nullptr);

}  // namespace analysis
