#pragma once
// The success and failure sounds.
#include <QObject>
#include <QString>

class Form1;

class ResultSounds : public QObject {
    Q_OBJECT
public:
    explicit ResultSounds(Form1& form);
    void PlaySuccessSound();
    void PlayFailureSound();

private:
    QString soundFile(const QString& name) const;

    Form1& f;
};
