#pragma once
// Shared pieces of the link tests: short waits, small images, the sample, the three-point curve.

#include "editor/tanksend.h"
#include "link/exchanges.h"
#include "sim/simulatedport.h"
#include "store/indicatorfile.h"
#include "tests/editor/curvetables.h"
#include "tests/support/testfiles.h"

#include <QByteArray>
#include <memory>

namespace kaldor::testing {

// Short bounds so that a time-out costs little; the production bounds are 2 s and 4 s.
inline WaitBounds shortBounds()
{
    return WaitBounds{60, 120};
}

// Two blocks: 1 .. 16. Three blocks, the least an upload sends: 1 .. 24 with no tanks at
// address 16, so that the header and its empty directory are there.
inline IndicatorImage countingImage(int blocks)
{
    QByteArray bytes;
    for (int i = 1; i <= 8 * blocks; ++i)
        bytes.append(char(i == layout::kTankCountAddress + 1 && blocks > 2 ? 0 : i));
    return IndicatorImage::fromBytes(bytes);
}
inline IndicatorImage twoBlockImage()
{
    return countingImage(2);
}
inline IndicatorImage threeBlockImage()
{
    return countingImage(3);
}

// The sample indicator file: tanks 12, 3 and 7.
inline IndicatorImage sampleImage()
{
    return loadIndicatorFile(QStringLiteral(KALDOR_SOURCE_DIR "/samples/three-tanks.idr")).image;
}

inline QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// A simulated meter behind an open port, and a context on that port.
struct OpenMeter {
    explicit OpenMeter(const IndicatorImage& image = {})
        : meter(std::make_shared<SimulatedMeter>(image)), port(meter)
    {
        port.open();
    }
    std::shared_ptr<SimulatedMeter> meter;
    SimulatedPort port;
    ExchangeContext ctx{port, shortBounds(), {}, nullptr};
};

} // namespace kaldor::testing
