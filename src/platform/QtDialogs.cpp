#include "platform/QtDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace {
const char* const kFilter = "位置情報ﾌｧｲﾙ(*.pos);;All File (*.*)";
}

QtDialogs::QtDialogs(QString initialFolder) : folder_(std::move(initialFolder)) {}

QString QtDialogs::getOpenFileName(QWidget* parent) {
    const QString start = lastName_.isEmpty() ? folder_ : lastName_;
    const QString name = QFileDialog::getOpenFileName(parent, QString(), start, QString::fromUtf8(kFilter));
    if (!name.isEmpty())
        lastName_ = name;
    return name;
}

QString QtDialogs::getSaveFileName(QWidget* parent) {
    const QString start = lastName_.isEmpty() ? folder_ : lastName_;
    // The program asks its own overwrite question; no default suffix.
    const QString name = QFileDialog::getSaveFileName(parent, QString(), start, QString::fromUtf8(kFilter), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (!name.isEmpty())
        lastName_ = name;
    return name;
}

bool QtDialogs::confirm(QWidget* parent, const QString& text, const QString& title) {
    return QMessageBox::warning(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) ==
           QMessageBox::Ok;
}
