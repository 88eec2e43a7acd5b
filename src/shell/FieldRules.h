#pragma once
// The rules of the editable fields: period minimums on losing the focus, the file-name fields' warning colour.
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>

struct FormState;
class QLineEdit;

// What the field rules touch: the period fields and the file-name fields,
// and the minimum periods and colours they apply (read only).
struct FieldRulesView {
    explicit FieldRulesView(const FormState& st);
    QLineEdit* FSKTxTime = nullptr;
    std::array<QLineEdit*, 6> LoRaTxTime{};
    QLineEdit* LogFileName = nullptr;
    QLineEdit* MapFileName = nullptr;
    const int& FSKMinTxTime;
    const std::array<int, 6>& LoRaMinTxTime;
    const std::uint32_t& NormalBackColor;
    const std::uint32_t& WarningBackColor;
};

class FieldRules : public QObject {
    Q_OBJECT
public:
    // The period rule: a field below its mode's minimum period gets the
    // minimum (also for periods read from the settings file).
    static void applyMinimum(QLineEdit* field, int minimum);
    FieldRules(const FieldRulesView& view, QObject* parent);

    // Handlers: a period field has lost the focus; a file-name field's text
    // has changed.
    void FSKTxTime_LostFocus();
    void LoRaTxTime_LostFocus(int index);
    void LogFileName_Change();
    void MapFileName_Change();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static bool leavesField(const QEvent* event);
    void applyColour(QLineEdit* field);
    FieldRulesView f;
};
