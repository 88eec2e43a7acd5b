#pragma once
// The datum point file dialogs and the overwrite question, on QFileDialog
// and QMessageBox.
#include "platform/Dialogs.h"

#include <QFileDialog>

class QtDialogs : public Dialogs {
public:
    QString getOpenFileName(QWidget* parent) override;
    QString getSaveFileName(QWidget* parent) override;
    bool confirm(QWidget* parent, const QString& text, const QString& title) override;
    void setInitialFolder(const QString& folder) override { folder_ = folder; }

private:
    QString choose(QWidget* parent, QFileDialog::AcceptMode mode);

    QString folder_;
    QString lastName_;
};
