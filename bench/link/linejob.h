#pragma once
// What bench_link times: one exchange with the meter (reading the full image, writing it back,
// sending one tank), what it carries, and the clock the times are read on.

#include "editor/tanksend.h"
#include "store/curvetable.h"
#include "store/indicatorimage.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace kaldor::bench {

using Clock = std::chrono::steady_clock;

inline double microseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}
inline double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

enum class Kind { Download, Upload, Send };
const char* kindName(Kind k);

struct Job {
    Kind kind = Kind::Download;
    IndicatorImage image;            // what the meter holds and what is written
    std::vector<std::uint8_t> bytes; // the same, for the plain loop
    TankSend send;
    std::vector<std::uint8_t> sendBytes;
};

// What is sent: 25000 bytes that run through every byte value, 0x0D and the flow-control bytes
// included; the same as the meter's image; and a curve of kPoints points, 0 % to 99.99 %, values
// rising from 100.
inline constexpr int kPoints = 100;
std::vector<std::uint8_t> fullImageBytes();
IndicatorImage imageOf(const std::vector<std::uint8_t>& bytes);
CurveTable hundredPointTable();

} // namespace kaldor::bench
