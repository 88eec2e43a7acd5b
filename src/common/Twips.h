#pragma once
// Lengths on the window are in twips, 15 twips per pixel.
constexpr int kTwipsPerPixel = 15;
inline int twipsToPixels(double twips) { return static_cast<int>(twips / kTwipsPerPixel + (twips >= 0 ? 0.5 : -0.5)); }
inline int pixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }
