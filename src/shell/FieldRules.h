#pragma once
// The rules of the editable fields: period minimums on losing the focus, the file-name fields' warning colour.
#include <QObject>
#include <QString>

struct Window;
class QLineEdit;

class FieldRules : public QObject {
    Q_OBJECT
public:
    // The period rule: a field below its mode's minimum period gets the
    // minimum (also for periods read from the settings file).
    static void applyMinimum(QLineEdit* field, int minimum);
    explicit FieldRules(Window& window);

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
    Window& f;
};
