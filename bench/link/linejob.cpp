#include "bench/link/linejob.h"

#include <QString>

namespace kaldor::bench {

const char* kindName(Kind k)
{
    switch (k) {
    case Kind::Download:
        return "read image (AU, 3125 blocks)";
    case Kind::Upload:
        return "write image (AD, 3125 blocks)";
    case Kind::Send:
        return "send tank (CD, 100 points)";
    }
    return "";
}

std::vector<std::uint8_t> fullImageBytes()
{
    std::vector<std::uint8_t> bytes(layout::kMaxLength);
    std::uint32_t x = 0x2545F491u;
    for (std::uint8_t& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = std::uint8_t(x >> 24);
    }
    return bytes;
}

IndicatorImage imageOf(const std::vector<std::uint8_t>& bytes)
{
    IndicatorImage image;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        image.set(int(i), bytes[i]);
    image.setLength(int(bytes.size()));
    return image;
}

CurveTable hundredPointTable()
{
    CurveTable t;
    for (int row = 1; row <= kPoints; ++row) {
        t.setValue(row, QString::number(100 + 25 * (row - 1)));
        const double percent = row == kPoints ? 99.99 : (row - 1) * 1.01;
        t.setPercent(row, QString::number(percent, 'f', 2));
    }
    return t;
}

} // namespace kaldor::bench
