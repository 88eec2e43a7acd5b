#pragma once
// The qvx-sim command line: every SimConfig setting plus the pty's own
// options (symlink, trace file).
#include "SimConfig.h"

#include <QString>
#include <QStringList>

struct SimOptions {
    SimConfig config;
    QString linkPath;    // --link: a symlink to the pty's slave path
    QString tracePath;   // --trace: one line per received command
    QString distanceTracePath;   // --distance-trace: where the walker is (turns the link law on)
    bool haveFarEnd = false;     // --far-end: where the loopback unit stands
    double farEndLat = 0, farEndLon = 0;
    bool help = false;
    bool version = false;
    QString helpText;
};

// args as in QCoreApplication::arguments() (program name first). False with
// a message in error on a bad option or value.
bool parseSimOptions(const QStringList& args, SimOptions* out, QString* error);
