// Built only by layers_upward_symbol_test, which expects this link to fail:
// a target linking the radio port channel's library reaches a function of
// the analysis folder without its header (declared by hand), and nothing it
// links defines it.
#include "ports/RadioChannel.h"

namespace analysis {
double niceMetres(double metres);
}

int main() {
    return analysis::niceMetres(1234.0) > 0 ? 0 : 1;
}
