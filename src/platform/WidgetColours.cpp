#include "platform/WidgetColours.h"

#include "common/Colours.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QWidget>

void setBackColour(QWidget* field, std::uint32_t value) {
    QPalette p = field->palette();
    p.setColor(QPalette::Base, colourFromValue(value, QApplication::palette(field)));
    field->setPalette(p);
}

namespace {

// The one colour `parent` paints by itself (without its children) under
// `area`, or an invalid colour when it paints more than one there.
QColor uniformColourUnder(QWidget* parent, const QRect& area, QHash<QWidget*, QImage>& painted) {
    auto it = painted.find(parent);
    if (it == painted.end()) {
        QImage img(parent->size(), QImage::Format_RGB32);
        img.fill(Qt::black);
        parent->render(&img, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        it = painted.insert(parent, img);
    }
    const QImage& img = *it;
    const QRect r = area.intersected(img.rect());
    if (r != area || r.isEmpty())
        return {};
    const QRgb first = img.pixel(r.topLeft());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = r.left(); x <= r.right(); ++x)
            if (line[x] != first)
                return {};
    }
    return QColor(first);
}

} // namespace

void paintOwnBackgrounds(QWidget* window) {
    QHash<QWidget*, QImage> painted;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const bool shows = qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w) ||
                           qobject_cast<QAbstractScrollArea*>(w) || qobject_cast<QScrollBar*>(w);
        QWidget* parent = w->parentWidget();
        if (!shows || !parent || w->autoFillBackground() || qobject_cast<QComboBox*>(parent))
            continue;
        // The colour the parent shows there (a group box's inside is a
        // shade darker than the window); where it shows more than one, the
        // control keeps leaving its background to the parent.
        const QColor behind = uniformColourUnder(parent, w->geometry(), painted);
        if (!behind.isValid())
            continue;
        QPalette p = w->palette();
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            p.setColor(g, QPalette::Window, behind);
        w->setPalette(p);
        // The fill uses the window role whatever the control's own (a text
        // field's is its entry colour, which would show in the corners its
        // frame rounds off).
        w->setBackgroundRole(QPalette::Window);
        w->setAutoFillBackground(true);
        w->setProperty("ownBackground", true);
    }
}
