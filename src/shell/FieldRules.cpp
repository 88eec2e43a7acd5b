#include "shell/FieldRules.h"

#include "common/NumberText.h"
#include "form/FormState.h"
#include "platform/WidgetColours.h"

#include <QFocusEvent>
#include <QLineEdit>

namespace {
const QString kPlaceholder = QStringLiteral("任意ファイル名");
}

FieldRules::FieldRules(const FieldRulesView& view, QObject* parent) : QObject(parent), f(view) {
    f.FSKTxTime->installEventFilter(this);
    for (QLineEdit* field : f.LoRaTxTime) field->installEventFilter(this);
}

// The operator leaves a field by moving the focus to another control of the
// window. A context menu or a switch to another window takes the focus only
// for a while and gives it back: the field is still being edited (pasting
// into an emptied field from its context menu must not meet the rule half
// way).
bool FieldRules::leavesField(const QEvent* event) {
    if (event->type() != QEvent::FocusOut)
        return false;
    switch (static_cast<const QFocusEvent*>(event)->reason()) {
    case Qt::PopupFocusReason:
    case Qt::ActiveWindowFocusReason:
    case Qt::MenuBarFocusReason:
        return false;
    default:
        return true;
    }
}

bool FieldRules::eventFilter(QObject* watched, QEvent* event) {
    if (leavesField(event)) {
        if (watched == f.FSKTxTime) {
            FSKTxTime_LostFocus();
        } else {
            for (int i = 0; i < static_cast<int>(f.LoRaTxTime.size()); ++i)
                if (watched == f.LoRaTxTime[i]) LoRaTxTime_LostFocus(i);
        }
    }
    return QObject::eventFilter(watched, event);
}

void FieldRules::applyMinimum(QLineEdit* field, int minimum) {
    if (minimum > numtext::leadingNumber(field->text()))
        field->setText(QString::number(minimum));
}

void FieldRules::FSKTxTime_LostFocus() { applyMinimum(f.FSKTxTime, f.FSKMinTxTime); }

void FieldRules::LoRaTxTime_LostFocus(int index) {
    applyMinimum(f.LoRaTxTime[index], f.LoRaMinTxTime[index]);
}

void FieldRules::applyColour(QLineEdit* field) {
    const QString text = field->text();
    const std::uint32_t value = (text.isEmpty() || text == kPlaceholder) ? f.WarningBackColor : f.NormalBackColor;
    setBackColour(field, value);
}

void FieldRules::LogFileName_Change() { applyColour(f.LogFileName); }

void FieldRules::MapFileName_Change() { applyColour(f.MapFileName); }
