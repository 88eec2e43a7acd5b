#include "common/Colours.h"

QColor colourFromValue(std::uint32_t value, const QPalette& palette) {
    if (value & 0x80000000u) {
        // System colours by index; 5 is the background of text fields.
        switch (value & 0xFFu) {
        case 5: return palette.color(QPalette::Base);
        case 8: return palette.color(QPalette::Text);
        case 15: return palette.color(QPalette::Button);
        case 18: return palette.color(QPalette::ButtonText);
        default: return palette.color(QPalette::Window);
        }
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}
