#pragma once
// The datum point file dialogs, the overwrite question and the other
// questions, on QFileDialog, QInputDialog and QMessageBox.
#include "platform/Dialogs.h"

#include <QFileDialog>

class QtDialogs : public Dialogs {
public:
    QString getOpenFileName(QWidget* parent) override;
    QString getSaveFileName(QWidget* parent) override;
    bool confirm(QWidget* parent, const QString& text, const QString& title) override;
    QString getOtherFileName(QWidget* parent, const QString& caption, const QString& filter) override;
    QString getFolderName(QWidget* parent, const QString& caption) override;
    std::optional<QString> getText(QWidget* parent, const QString& title, const QString& label,
                                   const QString& initial) override;
    void tell(QWidget* parent, const QString& text, const QString& title) override;
    void setInitialFolder(const QString& folder) override { folder_ = folder; }

private:
    QString choose(QWidget* parent, QFileDialog::AcceptMode mode);

    QString folder_;
    QString lastName_;
};
