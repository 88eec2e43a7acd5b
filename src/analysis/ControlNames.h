#pragma once
// The analysis window's controls carry their name as object name; those
// without a caption of their own (boxes, figures, plots) also as accessible
// name, so tools address them by it. Buttons and check boxes are announced
// by their captions.
#include <QAbstractButton>
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

}  // namespace analysis
