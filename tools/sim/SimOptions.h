#pragma once
// The command line of qvx-sim: what the simulated module is told to do
// (SimConfig) and what the executable does around it (flood, trace, link).
#include "SimConfig.h"

#include <QString>
#include <QStringList>

struct SimOptions {
    SimConfig config;
    bool seeded = false;     // --seed given; otherwise the executable picks one
    qint64 floodBytes = 0;   // random bytes sent once at start
    QString traceFile;
    QString link;
};

// Reads the command line (arguments include the program name). On --help,
// or on an error, returns the text to print and sets exitCode (0 for help,
// 2 for errors); otherwise returns an empty string and fills out.
QString parseSimOptions(const QStringList& arguments, SimOptions& out, int& exitCode);
