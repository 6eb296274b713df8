#pragma once
// Record words: 16 bits, high byte first, sign and magnitude (bit 7 of the high byte is the
// sign), so the range is -32767 .. 32767 and the bytes 128, 0 read as 0.

#include <cstdint>
#include <optional>
#include <utility>

namespace kaldor {

int decodeWord(std::uint8_t high, std::uint8_t low);

// The two bytes of a value; nullopt when |value| > 32767.
std::optional<std::pair<std::uint8_t, std::uint8_t>> encodeWord(int value);

// x truncated toward zero; a number outside the range of int (or not a number) gives the
// nearest limit of int, which no word range lets through.
int truncateToInt(double x);

// percentage / 99.99 x 32767, truncated toward zero (99.99 gives the end marker 32767).
int percentToWord(double percent);
// In the offset-capable layout (value + offset) / fullScale x 32767, in the other
// value / fullScale x 32767, truncated toward zero; double precision in this order.
// A full scale of 0 gives nullopt.
std::optional<int> valueToWord(double value, double fullScale, double offset, bool offsetMode);

// word / 32767 x 100 (the end marker reads back as 100).
double percentFromWord(int word);
// word / 32767 x fullScale - word2 (word 2 of the record: the offset, or in the other layout
// the first point's percent word).
double valueFromWord(int word, double fullScale, double word2);

} // namespace kaldor
