#pragma once
// The frames of text fields and the scroll bars are drawn once per look and
// then copied: a field whose number changes ten times a second, or a log
// box's scroll bar that is set to the same place after every line, would
// otherwise have the style draw its rounded frame, gradients and arrows
// again at every repaint, which costs more than the text inside.
//
// PictureStyle wraps the application's style and draws exactly what it
// draws: a picture is made by that style, on the control's own background
// colour, and is used again only for the same size, state, palette colours,
// scroll bar range and position. Controls whose background is not known
// (see paintOwnBackgrounds), painters that scale or rotate, and fractional
// screen scales are drawn directly, as before.
#include <QHash>
#include <QPixmap>
#include <QProxyStyle>

class PictureStyle : public QProxyStyle {
public:
    PictureStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override;

    // Pictures drawn by the wrapped style so far (each look once).
    int picturesDrawn() const { return drawn_; }

private:
    template <typename Draw>
    bool drawFromPicture(QByteArray key, const QStyleOption* option, QPainter* painter, const QWidget* widget,
                         Draw draw) const;

    mutable QHash<QByteArray, QPixmap> pictures_;
    mutable int drawn_ = 0;
};

// Every text field and scroll bar under `window` that paints its own
// background gets one shared PictureStyle, owned by the window.
void drawFramesFromPictures(QWidget* window);
