// A plain model of the colour operations on one 0..255 channel, for tests to
// check pixels against: the single-precision amount widened to double, each
// product and sum in double, the result truncated toward zero.
#pragma once

namespace colormodel {

// A channel moved toward white, or toward black, by `amount` (the formulas
// hold for any amount; callers clamp it where the operation does).
inline int brightened(int c, float amount) { return static_cast<int>((255.0 - c) * double(amount) + c); }
inline int darkened(int c, float amount) { return static_cast<int>((1.0 - double(amount)) * c); }
// Toward white by `amount`, or toward black by -amount when it is negative.
inline int added(int c, float amount) { return amount < 0 ? darkened(c, -amount) : brightened(c, amount); }
inline int inverted(int c) { return 255 - c; }
// The grey level of a pixel: the channels' average, truncated.
inline int grayLevel(int r, int g, int b) { return (r + g + b) / 3; }

}  // namespace colormodel
