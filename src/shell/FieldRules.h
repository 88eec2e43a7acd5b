#pragma once
// The rules of the editable fields: period minimums on losing the focus, the file-name fields' warning colour.
#include <QObject>
#include <QString>

class Form1;

class FieldRules : public QObject {
    Q_OBJECT
public:
    explicit FieldRules(Form1& form);

private:
    Form1& f;
};
