#pragma once
#include <QColor>
#include <QPalette>
#include <cstdint>

// A colour value 0x00BBGGRR (red in the low byte), or 0x80000000 + n for
// system colour n; system colour 5 (window background of text fields) is the
// palette's Base colour.
QColor colourFromValue(std::uint32_t value, const QPalette& palette = QPalette());
