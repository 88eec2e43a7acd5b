#include "platform/PictureStyle.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOption>

#include <cmath>

namespace {

// More looks than any window shows at once; past it the pictures are
// dropped and made again as they are needed.
constexpr int kMaxPictures = 256;

class Key {
public:
    explicit Key(char kind) { bytes_.append(kind); }
    Key& operator<<(qint64 v) {
        bytes_.append(reinterpret_cast<const char*>(&v), sizeof v);
        return *this;
    }
    QByteArray take() { return std::move(bytes_); }

private:
    QByteArray bytes_;
};

// The option's size, state and colours: everything of a plain option a
// style draws from. False when a colour is not a plain one (a gradient or
// texture may depend on where it is drawn).
bool addCommon(Key& key, const QStyleOption& option) {
    key << option.rect.width() << option.rect.height() << qint64(option.state) << qint64(option.direction);
    const QPalette& pal = option.palette;
    key << qint64(pal.currentColorGroup());
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const QBrush& brush = pal.brush(QPalette::ColorRole(role));
        if (brush.style() != Qt::SolidPattern && brush.style() != Qt::NoBrush)
            return false;
        key << qint64(brush.color().rgba64());
    }
    return true;
}

} // namespace

PictureStyle::PictureStyle() : QProxyStyle(QApplication::style()->name()) {}

template <typename Draw>
bool PictureStyle::drawFromPicture(QByteArray key, const QStyleOption* option, QPainter* painter,
                                   const QWidget* widget, Draw draw) const {
    // Only where the colour under the control is known and one: the
    // picture is made on it, so its edges blend exactly as they do when
    // drawn in place.
    if (!widget || !widget->property("ownBackground").toBool() || !widget->autoFillBackground()
        || widget->backgroundRole() != QPalette::Window)
        return false;
    const qreal dpr = painter->device()->devicePixelRatio();
    if (painter->transform().type() > QTransform::TxTranslate || dpr != std::floor(dpr) || option->rect.isEmpty())
        return false;
    const QColor behind = widget->palette().color(QPalette::Window);
    Key more('+');
    more << qint64(behind.rgba64()) << qint64(dpr * 100) << qint64(painter->renderHints());
    key += more.take();

    auto it = pictures_.constFind(key);
    if (it == pictures_.constEnd()) {
        QPixmap picture(option->rect.size() * dpr);
        picture.setDevicePixelRatio(dpr);
        picture.fill(behind);
        {
            QPainter p(&picture);
            p.setRenderHints(painter->renderHints());
            p.setPen(painter->pen());
            p.setBrush(painter->brush());
            p.setFont(painter->font());
            p.translate(-option->rect.topLeft());
            draw(&p);
        }
        ++drawn_;
        if (pictures_.size() >= kMaxPictures)
            pictures_.clear();
        it = pictures_.insert(key, picture);
    }
    painter->drawPixmap(option->rect.topLeft(), *it);
    return true;
}

void PictureStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
    if (element == PE_PanelLineEdit && qobject_cast<const QLineEdit*>(widget)) {
        if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option)) {
            Key key('e');
            if (addCommon(key, *frame)) {
                key << frame->lineWidth << frame->midLineWidth << qint64(frame->features) << qint64(frame->frameShape);
                if (drawFromPicture(key.take(), option, painter, widget, [&](QPainter* p) {
                        QProxyStyle::drawPrimitive(element, option, p, widget);
                    }))
                    return;
            }
        }
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void PictureStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                      const QWidget* widget) const {
    if (control == CC_ScrollBar && qobject_cast<const QScrollBar*>(widget)) {
        if (const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option)) {
            Key key('s');
            if (addCommon(key, *bar)) {
                key << qint64(bar->subControls) << qint64(bar->activeSubControls) << qint64(bar->orientation)
                    << bar->upsideDown << (bar->minimum == bar->maximum);
                // The style draws a bar from where its parts are: ranges and
                // positions that put the parts on the same pixels look the
                // same (a range that grows by a line each step moves the
                // handle by a pixel now and then, not every step).
                for (const SubControl part : {SC_ScrollBarAddLine, SC_ScrollBarSubLine, SC_ScrollBarAddPage,
                                              SC_ScrollBarSubPage, SC_ScrollBarFirst, SC_ScrollBarLast,
                                              SC_ScrollBarSlider, SC_ScrollBarGroove}) {
                    const QRect r = subControlRect(control, bar, part, widget).translated(-bar->rect.topLeft());
                    key << r.x() << r.y() << r.width() << r.height();
                }
                if (drawFromPicture(key.take(), option, painter, widget, [&](QPainter* p) {
                        QProxyStyle::drawComplexControl(control, option, p, widget);
                    }))
                    return;
            }
        }
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

void drawFramesFromPictures(QWidget* window) {
    auto* style = new PictureStyle;
    style->setParent(window);
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if ((qobject_cast<QLineEdit*>(w) || qobject_cast<QScrollBar*>(w)) && w->property("ownBackground").toBool())
            w->setStyle(style);
    }
}
