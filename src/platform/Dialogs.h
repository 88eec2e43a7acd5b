#pragma once
// The dialog seam: the datum point file dialogs and the overwrite question,
// and the few other questions the program asks (a tile set, a URL, an
// error the operator must see).
#include <QString>

#include <optional>

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

    // Another file to open or a folder, with its own caption (and filter),
    // apart from the datum file's remembered name; empty on cancel.
    virtual QString getOtherFileName(QWidget* parent, const QString& caption, const QString& filter) = 0;
    virtual QString getFolderName(QWidget* parent, const QString& caption) = 0;
    // A line of text, starting as initial; empty on cancel.
    virtual std::optional<QString> getText(QWidget* parent, const QString& title, const QString& label,
                                           const QString& initial) = 0;
    // A message the operator must read (OK only, warning icon).
    virtual void tell(QWidget* parent, const QString& text, const QString& title) = 0;
};
