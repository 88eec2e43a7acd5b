#pragma once
// Saving a drawing as a picture file: SVG when the name ends in ".svg"
// (vector, through QSvgGenerator), otherwise PNG. The file is replaced
// whole or not at all; a failure is reported in *error with the reason.
#include <QSize>
#include <QString>

#include <functional>

class QPainter;

namespace analysis {

using DrawFn = std::function<void(QPainter& painter, const QSize& size)>;

bool writePicture(const QString& path, const QSize& size, const QString& title, const DrawFn& draw,
                  QString* error = nullptr);

}  // namespace analysis
