#include "platform/BoundedTextView.h"

#include <QPlainTextEdit>
#include <QTextCursor>

void BoundedTextView::append(const QString& text) {
    if (view_->document()->isEmpty())
        text_.clear();  // emptied on screen by someone else
    text_ = (text_ + text).right(keep_);
    view_->setPlainText(text_);
    QTextCursor caret(view_->document());
    caret.movePosition(QTextCursor::End);
    view_->setTextCursor(caret);
}

void BoundedTextView::clear() {
    text_.clear();
    view_->clear();
}
