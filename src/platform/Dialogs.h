#pragma once
// The dialog seam: the datum point file dialogs and the overwrite question.
#include <QString>

class QWidget;

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Open and save dialogs: return the chosen path, or an empty string when
    // the operator cancels. The implementation remembers the last name.
    virtual QString getOpenFileName(QWidget* parent) = 0;
    virtual QString getSaveFileName(QWidget* parent) = 0;
    // Where the dialogs start until a name has been chosen.
    virtual void setInitialFolder(const QString& folder) = 0;
    // The overwrite question (OK / Cancel, warning icon): true for OK.
    virtual bool confirm(QWidget* parent, const QString& text, const QString& title) = 0;
};
