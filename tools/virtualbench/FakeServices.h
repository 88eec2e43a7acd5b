#pragma once
// Fakes of the remaining seams: sound, dialogs, the device query.
#include "platform/Dialogs.h"
#include "platform/PortEnumerator.h"
#include "platform/Sound.h"

#include <QQueue>
#include <QStringList>

class FakeSound : public SoundPlayer {
public:
    void play(const QString& wavPath) override { played << wavPath; }
    QStringList played;
};

class FakePortEnumerator : public PortEnumerator {
public:
    QStringList entries() override { return list; }
    QStringList gpsSources() override { return gps; }
    QStringList list;
    QStringList gps;   // what answers for the GPS port besides devices
};

// Answers are queued by the test; an empty queue answers "cancel".
class FakeDialogs : public Dialogs {
public:
    QString getOpenFileName(QWidget*) override { ++opens; return openAnswers.isEmpty() ? QString() : openAnswers.dequeue(); }
    QString getSaveFileName(QWidget*) override { ++saves; return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue(); }
    void setInitialFolder(const QString& f) override { folder = f; }
    bool confirm(QWidget*, const QString& text, const QString& title) override {
        questions << text;
        titles << title;
        return confirmAnswers.isEmpty() ? false : confirmAnswers.dequeue();
    }
    QString getOtherFileName(QWidget*, const QString& caption, const QString&) override {
        asked << caption;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
    QString getFolderName(QWidget*, const QString& caption) override {
        asked << caption;
        return folderAnswers.isEmpty() ? QString() : folderAnswers.dequeue();
    }
    std::optional<QString> getText(QWidget*, const QString& title, const QString&, const QString&) override {
        asked << title;
        return textAnswers.isEmpty() ? std::nullopt : textAnswers.dequeue();
    }
    void tell(QWidget*, const QString& text, const QString&) override { told << text; }
    QQueue<QString> fileAnswers;
    QQueue<QString> folderAnswers;
    QQueue<std::optional<QString>> textAnswers;
    QStringList asked;   // the captions of the other questions
    QStringList told;
    QQueue<QString> openAnswers;
    QQueue<QString> saveAnswers;
    QQueue<bool> confirmAnswers;
    QStringList questions;
    QStringList titles;
    QString folder;
    int opens = 0;
    int saves = 0;
};
