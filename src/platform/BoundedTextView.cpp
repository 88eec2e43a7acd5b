#include "platform/BoundedTextView.h"

#include "platform/PlainPaint.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextDocument>

namespace {

// Positions a piece of the built text takes in the box's document: every
// character one, except that the CR of a CR LF pair takes none (the pair is
// one line break). `next` is the character after the piece.
int shownLength(QStringView text, QChar next) {
    int n = int(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar after = i + 1 < text.size() ? text[i + 1] : next;
        if (text[i] == u'\r' && after == u'\n')
            --n;
    }
    return n;
}

} // namespace

QTextCursor appendKeepingShapes(QPlainTextEdit* view, const QString& text) {
    QTextCursor caret(view->document());
    caret.beginEditBlock();
    caret.movePosition(QTextCursor::End);
    QTextBlock block = caret.block();
    caret.insertText(text);
    // Before the edit ends, which lays the lines out: a layout that keeps
    // its glyphs is drawn from them; otherwise it drops them once laid out
    // and shapes the text again at every paint.
    for (; block.isValid() && !plainpaint::off(u"shaping"); block = block.next())
        block.layout()->setCacheEnabled(true);
    caret.endEditBlock();
    return caret;
}

BoundedTextView::BoundedTextView(QPlainTextEdit* view, int keep) : view_(view), keep_(keep) {
    // Text is only ever added at the end and cut at the front: an undo
    // history of that would grow with every append and serve nobody.
    view_->document()->setUndoRedoEnabled(false);
}

void BoundedTextView::append(const QString& text) {
    QTextDocument* doc = view_->document();
    if (doc->isEmpty())
        text_.clear();  // emptied on screen by someone else
    if (text.isEmpty())
        return;

    // Only the new text goes into the document, at its end; a CR LF split
    // over two appends is one line break, as it is in the built text. Each
    // change is an edit of its own: within an edit the cursors do not work
    // out their place on the screen, and the box lays out only the lines an
    // edit touched (one edit reaching from the first line to the last would
    // have it lay out every line it holds again).
    const bool joinsPair = text_.endsWith(u'\r') && text.front() == u'\n';
    const QTextCursor caret = appendKeepingShapes(view_, joinsPair ? text.mid(1) : text);

    // The oldest characters beyond `keep` are cut at the front.
    text_ += text;
    const qsizetype cut = text_.size() - keep_;
    if (cut > 0) {
        const int shown = shownLength(QStringView(text_).left(cut), text_[cut]);
        text_.remove(0, cut);
        QTextCursor front(doc);
        front.beginEditBlock();
        front.setPosition(shown, QTextCursor::KeepAnchor);
        front.removeSelectedText();
        front.endEditBlock();
    }
    // The caret stays after the new text, at the end: the box shows it.
    view_->setTextCursor(caret);
}

void BoundedTextView::clear() {
    text_.clear();
    view_->clear();
}
