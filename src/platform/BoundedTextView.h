#pragma once
// A multi-line text box that shows the newest `keep` characters of what was
// appended to it, caret at the end. The text as built (CR LF line ends) is
// kept beside the box, which shows line ends as line breaks. Each append
// adds only the new text at the document's end and cuts the oldest from its
// front, so the box never lays out its whole text again. Emptying the box
// from elsewhere starts the text afresh.
#include <QString>

class QPlainTextEdit;
class QTextCursor;

// Inserts `text` at the end of the box's document as one edit, the new
// lines keeping their shaped glyphs after layout, so painting them (every
// repaint of the box, every step) does not shape them again.
// Returns the cursor after the text.
QTextCursor appendKeepingShapes(QPlainTextEdit* view, const QString& text);

class BoundedTextView {
public:
    BoundedTextView(QPlainTextEdit* view, int keep);

    void append(const QString& text);
    void clear();
    // The text exactly as built, at most `keep` characters.
    const QString& text() const { return text_; }

private:
    QPlainTextEdit* view_;
    int keep_;
    QString text_;
};
