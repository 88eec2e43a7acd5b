#include "platform/QtDialogs.h"

#include <QInputDialog>
#include <QMessageBox>

namespace {
const char* const kFilter = "位置情報ﾌｧｲﾙ(*.pos);;All File (*.*)";
}

// One dialog for both directions: the position-file filter, no default
// suffix (a name is used as typed), and the start in the program's folder
// until a name has been chosen, then at that name.
QString QtDialogs::choose(QWidget* parent, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, QString(), lastName_.isEmpty() ? folder_ : lastName_, QString::fromUtf8(kFilter));
    dialog.setAcceptMode(mode);
    if (mode == QFileDialog::AcceptOpen) {
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);  // the program asks its own question
    }
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QString name = dialog.selectedFiles().value(0);
    if (!name.isEmpty())
        lastName_ = name;
    return name;
}

QString QtDialogs::getOpenFileName(QWidget* parent) { return choose(parent, QFileDialog::AcceptOpen); }

QString QtDialogs::getSaveFileName(QWidget* parent) { return choose(parent, QFileDialog::AcceptSave); }

bool QtDialogs::confirm(QWidget* parent, const QString& text, const QString& title) {
    return QMessageBox::warning(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) ==
           QMessageBox::Ok;
}

QString QtDialogs::getOtherFileName(QWidget* parent, const QString& caption, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

QString QtDialogs::getFolderName(QWidget* parent, const QString& caption) {
    return QFileDialog::getExistingDirectory(parent, caption);
}

std::optional<QString> QtDialogs::getText(QWidget* parent, const QString& title, const QString& label,
                                          const QString& initial) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, label, QLineEdit::Normal, initial, &ok);
    return ok ? std::optional<QString>(text) : std::nullopt;
}

void QtDialogs::tell(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox::warning(parent, title, text, QMessageBox::Ok, QMessageBox::Ok);
}
