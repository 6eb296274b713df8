#include "store/wordcodec.h"

#include "store/indicatorimage.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace kaldor {

int decodeWord(std::uint8_t high, std::uint8_t low)
{
    const int magnitude = (high & 0x7F) * 256 + low;
    return (high & 0x80) ? -magnitude : magnitude;
}

std::optional<std::pair<std::uint8_t, std::uint8_t>> encodeWord(int value)
{
    const int magnitude = std::abs(value);
    if (magnitude > layout::kMaxWordMagnitude) return std::nullopt;
    const int high = magnitude / 256 + (value < 0 ? 128 : 0);
    return std::pair{static_cast<std::uint8_t>(high), static_cast<std::uint8_t>(magnitude % 256)};
}

int truncateToInt(double x)
{
    constexpr double kLimit = 2147483648.0; // 2^31
    if (std::isnan(x) || x >= kLimit) return std::numeric_limits<int>::max();
    if (x <= -kLimit) return std::numeric_limits<int>::min();
    return static_cast<int>(std::trunc(x));
}

int percentToWord(double percent)
{
    return truncateToInt(percent / 99.99 * 32767.0);
}

std::optional<int> valueToWord(double value, double fullScale, double offset, bool offsetMode)
{
    if (fullScale == 0.0) return std::nullopt;
    const double scaled =
        offsetMode ? (value + offset) / fullScale * 32767.0 : value / fullScale * 32767.0;
    return truncateToInt(scaled);
}

double percentFromWord(int word)
{
    return word / 32767.0 * 100.0;
}

double valueFromWord(int word, double fullScale, double word2)
{
    return word / 32767.0 * fullScale - word2;
}

} // namespace kaldor
