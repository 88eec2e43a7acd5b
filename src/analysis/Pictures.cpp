#include "analysis/Pictures.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace analysis {

bool writePicture(const QString& path, const QSize& size, const QString& title, const DrawFn& draw,
                  QString* error) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(title);
        QPainter p(&svg);
        draw(p, size);
    } else {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            QPainter p(&image);
            draw(p, size);
        }
        if (!image.save(&buffer, "PNG")) {
            if (error)
                *error = QStringLiteral("PNG encoding failed");
            return false;
        }
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool writeChartWithFigures(const QString& path, const QSize& chartSize, const QString& title, const DrawFn& drawChart,
                           const QString& figures, const QFont& font, int figuresHeight, QString* error) {
    const int textHeight = figuresHeight + 8;
    const QSize size(chartSize.width(), chartSize.height() + textHeight);
    return writePicture(path, size, title,
                        [&](QPainter& p, const QSize&) {
                            p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
                            drawChart(p, chartSize);
                            p.setPen(Qt::black);
                            p.setFont(font);
                            p.drawText(QRectF(8, chartSize.height() + 4, size.width() - 16, textHeight),
                                       Qt::AlignLeft | Qt::AlignTop, figures);
                        },
                        error);
}

}  // namespace analysis
