#include "common/Colours.h"

namespace {

// System colour index -> palette colour. The indexes are those of the
// platform's system colours; each goes to the palette role that plays the
// same part on this desktop.
QColor systemColour(unsigned index, const QPalette& p) {
    using P = QPalette;
    switch (index) {
    case 0:  return p.color(P::Button);                    // scroll bars
    case 1:  return p.color(P::Window);                    // desktop
    case 2:  return p.color(P::Active, P::Highlight);      // active title bar
    case 3:  return p.color(P::Inactive, P::Highlight);    // inactive title bar
    case 4:  return p.color(P::Window);                    // menu bar
    case 5:  return p.color(P::Base);                      // window background (text fields)
    case 6:  return p.color(P::Shadow);                    // window frame
    case 7:  return p.color(P::WindowText);                // menu text
    case 8:  return p.color(P::Text);                      // window text
    case 9:  return p.color(P::Active, P::HighlightedText);// active title text
    case 10: return p.color(P::Active, P::Button);         // active border
    case 11: return p.color(P::Inactive, P::Button);       // inactive border
    case 12: return p.color(P::Mid);                       // application workspace
    case 13: return p.color(P::Highlight);                 // selection
    case 14: return p.color(P::HighlightedText);           // selected text
    case 15: return p.color(P::Button);                    // button face
    case 16: return p.color(P::Dark);                      // button shadow
    case 17: return p.color(P::Disabled, P::Text);         // grey (disabled) text
    case 18: return p.color(P::ButtonText);                // button text
    case 19: return p.color(P::Inactive, P::HighlightedText); // inactive title text
    case 20: return p.color(P::Light);                     // 3-D highlight
    case 21: return p.color(P::Shadow);                    // 3-D dark shadow
    case 22: return p.color(P::Midlight);                  // 3-D light
    case 23: return p.color(P::ToolTipText);               // tool-tip text
    case 24: return p.color(P::ToolTipBase);               // tool-tip background
    default: return p.color(P::Window);                    // unknown index: the window colour
    }
}

} // namespace

QColor colourFromValue(std::uint32_t value, const QPalette& palette) {
    if (value & 0x80000000u)
        return systemColour(value & 0x00FFFFFFu, palette);
    // 0x00BBGGRR; the top byte carries no colour and is ignored.
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}
