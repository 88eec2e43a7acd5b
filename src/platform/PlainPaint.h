#pragma once
// Benchmark switches: QVX_PLAIN_PAINT, read once at start-up, names the
// paint savings to leave out, comma-separated (for instance
// "frames,pacer"), so that a run with one of them off can be measured
// beside a run with all of them on. Unset, every saving is on. Nothing but
// a benchmark sets it.
//   frames   text-field frames and scroll bars drawn by the style each time
//            instead of copied from pictures
//   shaping  appended lines, rewritten numbers and the hex dump laid out
//            with the font's shaping rules and without kept glyphs
//   pacer    every repaint request delivered, none held for the 100 ms beat
#include <QStringView>

namespace plainpaint {

// True when `piece` is named in QVX_PLAIN_PAINT.
bool off(QStringView piece);

} // namespace plainpaint
