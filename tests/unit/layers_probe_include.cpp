// Built only by layers_upward_include_test, which expects this compile to
// fail: a target linking the radio port channel's library includes the
// analysis window's header, a folder far above it.
#include "analysis/AnalysisWindow.h"
