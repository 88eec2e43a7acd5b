#pragma once
// The background colour of a text field from a colour value (0x00BBGGRR, or
// 0x80000000 + n for system colour n). System colours are resolved on the
// toolkit's palette for that kind of widget, not on the field's own palette,
// which may carry a warning colour by now.
#include <cstdint>

class QWidget;

void setBackColour(QWidget* field, std::uint32_t value);
