#include "ports/RxBuffer.h"

#include "common/HexDump.h"
#include "module/CommandSet.h"
#include "platform/BoundedTextView.h"

#include <QByteArray>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

RxBuffer::RxBuffer(QPlainTextEdit* textBox, QLineEdit* dumpBox, QObject* parent)
    : QObject(parent), textBox_(textBox), dumpBox_(dumpBox), text_(textBox->toPlainText()), dump_(dumpBox->text()) {
    // The text box may hold much; it is read back only after a change made
    // elsewhere, and only when its content is next needed.
    connect(textBox_->document(), &QTextDocument::contentsChange, this, [this] {
        if (!rendering_)
            textEdited_ = true;
    });
    connect(dumpBox_, &QLineEdit::textChanged, this, [this](const QString& shown) {
        if (!rendering_)
            dumpEdited(shown);
    });
}

void RxBuffer::receive(const QByteArray& bytes, std::int64_t us) {
    if (bytes.isEmpty())
        return;
    takeUpText();
    if (dump_.isEmpty())
        restartArrivals();
    const QString readable = cmdset::readableText(bytes);
    const QString hex = hexDump(bytes);
    text_ += readable;
    dump_ = (dump_ + hex).right(kDumpKeep);
    // Everything new is appended at the end of the text box's document,
    // without reading the accumulated text back.
    rendering_ = true;
    appendKeepingShapes(textBox_, readable);
    dumpBox_->setText(dump_);
    rendering_ = false;

    dumpBytes_ += bytes.size();
    arrivals_.push_back({dumpBytes_, us});
    const std::int64_t firstShown = dumpBytes_ - kDumpKeep / 3;
    while (arrivals_.size() > 1 && arrivals_.front().bytesUpTo <= firstShown)
        arrivals_.pop_front();
    // The level bytes of an answer recognised earlier in the period are
    // kept as they come, whatever the dump still shows when the step looks.
    answer_.follow(hex);
}

void RxBuffer::beginPeriod() {
    rendering_ = true;
    dumpBox_->clear();
    textBox_->clear();
    rendering_ = false;
    text_.clear();
    textEdited_ = false;
    dump_.clear();
    restartArrivals();
    answer_.begin();
}

const QString& RxBuffer::text() const {
    takeUpText();
    return text_;
}

const QString& RxBuffer::dump() const { return dump_; }

void RxBuffer::recognise(const QString& pattern, std::int64_t us) { answer_.recognise(dump_, pattern, us); }

std::optional<std::int64_t> RxBuffer::arrivalOf(int at) const {
    if (at < 0 || at >= dump_.size())
        return std::nullopt;
    // The dump shows the last dump_.size() / 3 bytes received.
    const std::int64_t byte = dumpBytes_ - dump_.size() / 3 + at / 3;
    if (byte < 0)
        return std::nullopt;
    for (const Arrival& a : arrivals_) {
        if (byte < a.bytesUpTo)
            return a.us;
    }
    return std::nullopt;
}

void RxBuffer::takeUpText() const {
    if (!textEdited_)
        return;
    text_ = textBox_->toPlainText();
    textEdited_ = false;
}

void RxBuffer::dumpEdited(const QString& shown) {
    // Emptied (the initialisation, the run start) or rewritten: the bytes
    // it shows begin anew.
    dump_ = shown;
    restartArrivals();
}

void RxBuffer::restartArrivals() {
    arrivals_.clear();
    dumpBytes_ = 0;
}
