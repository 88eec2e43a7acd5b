#pragma once
// The datum point file dialogs and the overwrite question, on QFileDialog
// and QMessageBox.
#include "platform/Dialogs.h"

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QString initialFolder = QString());
    QString getOpenFileName(QWidget* parent) override;
    QString getSaveFileName(QWidget* parent) override;
    bool confirm(QWidget* parent, const QString& text, const QString& title) override;
    void setInitialFolder(const QString& folder) { folder_ = folder; }

private:
    QString folder_;
    QString lastName_;
};
