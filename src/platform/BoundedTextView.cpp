#include "platform/BoundedTextView.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextDocument>

#include <utility>

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

// Repaints a box after an append and a cut at the front as what they
// changed, not the whole box. The box's own layout asks for its whole
// view to be drawn again when the edit adds a line, changes a line's
// height or cuts at the front; but every line above the one the old text
// ended in is only moved, by as much as that line moved (appending
// re-breaks no line before the last). So while the edit runs the view
// takes no paint requests; after it, the view's pixels are moved by that
// much (the toolkit's own blit, as when the box is scrolled) and only
// from that line down is drawn, or from the line after it when the new
// text starts a line and no caret can have been drawn in it. Anything
// else that may have changed (a selection, a caret away from the end, a
// sideways scroll, the first line still in view, so cut where it shows)
// repaints the whole view as before.
class ChangedLinesRepaint {
public:
    explicit ChangedLinesRepaint(QPlainTextEdit* box) : box_(box), view_(box->viewport()) {
        // The flag that stops the view's paint requests is set directly:
        // setUpdatesEnabled would set just it on a view without child
        // widgets, but on clearing it would ask for the whole view.
        held_ = view_->isVisible() && view_->updatesEnabled() && view_->findChildren<QWidget*>().isEmpty();
        if (!held_)
            return;
        // The caret, where it is drawn, must be at the end (where the box
        // keeps it): the line it is in is drawn again.
        const QTextDocument* doc = box_->document();
        const QTextCursor caret = box_->textCursor();
        end_ = doc->characterCount() - 1;
        shifting_ = !doc->isEmpty() && !caret.hasSelection() && caret.position() == end_;
        if (shifting_) {
            topBefore_ = lineTop(end_);
            sideways_ = box_->horizontalScrollBar()->value();
        }
        view_->setAttribute(Qt::WA_UpdatesDisabled, true);
    }

    // `cut`: document positions taken away at the front after the append;
    // `newLine`: the appended text began with a line break.
    void done(int cut, bool newLine) {
        if (!held_)
            return;
        view_->setAttribute(Qt::WA_UpdatesDisabled, false);
        const QTextDocument* doc = box_->document();
        QTextCursor firstEnd(doc->firstBlock());
        firstEnd.movePosition(QTextCursor::EndOfBlock);
        const int end = end_ - cut;
        if (!shifting_ || end <= 0 || box_->horizontalScrollBar()->value() != sideways_ ||
            box_->cursorRect(firstEnd).bottom() >= 0) {
            view_->update();
            return;
        }
        const int top = lineTop(end);
        if (top != topBefore_)
            view_->scroll(0, top - topBefore_);
        const int from = newLine && !box_->hasFocus() ? lineTop(end + 1) : top;
        if (from < view_->height())
            view_->update(QRect(0, from, view_->width(), view_->height() - from));
    }

private:
    // Where the line holding document position `at` starts, in the view.
    int lineTop(int at) const {
        QTextCursor c(box_->document());
        c.setPosition(at);
        return box_->cursorRect(c).top();
    }

    QPlainTextEdit* box_;
    QWidget* view_;
    bool held_ = false;
    bool shifting_ = false;
    int end_ = 0;
    int topBefore_ = 0;
    int sideways_ = 0;
};

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
    for (; block.isValid(); block = block.next())
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
    if (held_)
        gathered_ += text;
    else
        show(text);
}

void BoundedTextView::release() {
    held_ = false;
    const QString text = std::exchange(gathered_, QString());
    show(text);
}

void BoundedTextView::show(const QString& text) {
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
    const QString added = joinsPair ? text.mid(1) : text;
    ChangedLinesRepaint repaint(view_);
    const QTextCursor caret = appendKeepingShapes(view_, added);

    // The oldest characters beyond `keep` are cut at the front.
    text_ += text;
    const qsizetype cut = text_.size() - keep_;
    int shown = 0;
    if (cut > 0) {
        shown = shownLength(QStringView(text_).left(cut), text_[cut]);
        text_.remove(0, cut);
        QTextCursor front(doc);
        front.beginEditBlock();
        front.setPosition(shown, QTextCursor::KeepAnchor);
        front.removeSelectedText();
        front.endEditBlock();
    }
    // The caret stays after the new text, at the end: the box shows it.
    view_->setTextCursor(caret);
    repaint.done(shown, added.startsWith(u'\r') || added.startsWith(u'\n'));
}

void BoundedTextView::clear() {
    text_.clear();
    gathered_.clear();
    view_->clear();
}
