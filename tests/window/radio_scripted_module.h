#pragma once
// A hand-scripted radio module for the radio-side window tests: each
// command line written to the device is answered, after a delay on the
// virtual clock, with the bytes set for it (or not at all).
#include "WindowHarness.h"

#include <QHash>
#include <QObject>

class ScriptedModule : public QObject {
public:
    ScriptedModule(WindowHarness& h, FakeDevice* device) : h_(h), device_(device) {
        connect(device_, &FakeDevice::received, this, [this](const QByteArray& line) {
            commands << line;
            const auto it = answers.constFind(line.trimmed());
            if (it == answers.constEnd())
                return;
            const QByteArray answer = *it;
            FakeDevice* d = device_;
            h_.clock.after(delayMs, [d, answer] { d->send(answer); });
        });
    }

    // A module in FSK (spreading < 0) or LoRa mode with the "*FV" firmware.
    void setUp(int spreading, QByteArray firmware = "*FV=1.00\r\n") {
        answers.clear();
        if (!firmware.isEmpty())
            answers["@FV"] = firmware;
        answers["@MO"] = spreading < 0 ? QByteArray("*MO=01\r\n") : QByteArray("*MO=03\r\n");
        answers["@SF"] = "*SF=0" + QByteArray::number(spreading < 0 ? 0 : spreading) + "\r\n";
    }

    QHash<QByteArray, QByteArray> answers;   // command without CR LF -> answer bytes
    qint64 delayMs = 30;
    QList<QByteArray> commands;              // every line written, in order

private:
    WindowHarness& h_;
    FakeDevice* device_;
};
