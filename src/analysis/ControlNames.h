#pragma once
// The analysis window's controls carry their name as object name; those
// without a caption of their own (boxes, figures, plots) also as accessible
// name, so tools address them by it. Buttons and check boxes are announced
// by their captions.
#include <QAbstractButton>
#include <QLabel>
#include <QString>
#include <QWidget>

namespace analysis {

template <typename W>
W* nameControl(W* w, const QString& n) {
    w->setObjectName(n);
    if (!qobject_cast<QAbstractButton*>(w))
        w->setAccessibleName(n);
    return w;
}

// A caption beside a control: plain text the pointer does not select.
inline QLabel* caption(const QString& text) {
    auto* l = new QLabel(text);
    l->setTextInteractionFlags(Qt::NoTextInteraction);
    return l;
}

}  // namespace analysis
