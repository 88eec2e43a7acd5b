#pragma once
// qvx-loopback --open FILE...: recorded runs in an analysis window of their
// own (analysis/RunViewer), without the main window, its ports, its
// settings file or its logs. It writes nothing into the data folder, so it
// does not take the folder's lock: a viewer of yesterday's runs may stand
// beside the program running today's. The analysis settings (the rolling
// window, the alarm limit) are read from the data folder's file, never
// written.
struct StartOptions;

// Runs the viewer until its window is closed (or, with --quit, once the
// runs are shown and the --screenshot taken). 0 when every file was read;
// 1 when a file could not be opened or held no run, or the screenshot
// could not be written (one line on standard error each). Lines the readers
// could not read are named on standard error and do not change the status.
int showRecordedRuns(const StartOptions& options);
