#pragma once
// The background colour of a text field from a colour value (0x00BBGGRR, or
// 0x80000000 + n for system colour n). System colours are resolved on the
// toolkit's palette for that kind of widget, not on the field's own palette,
// which may carry a warning colour by now.
#include <cstdint>

class QWidget;

void setBackColour(QWidget* field, std::uint32_t value);

// Every label, text field, text box and scroll bar under `window` paints
// its own background, in the colour of the window behind it, before its
// contents. A change inside one of them then repaints that control alone;
// otherwise the group box and window beneath it are painted again first.
// The window looks exactly as before. Controls that already fill their
// background, and those inside a combo box, are left as they are. Each
// treated control carries the property "ownBackground".
void paintOwnBackgrounds(QWidget* window);
