#pragma once
// Shared pieces of the link tests: short waits, a small image, the three-point curve.

#include "editor/curvetable.h"
#include "editor/tanksend.h"
#include "link/exchanges.h"
#include "sim/simulatedport.h"

#include <QByteArray>
#include <memory>

namespace kaldor::testing {

// Short bounds so that a time-out costs little; the production bounds are 2 s and 4 s.
inline WaitBounds shortBounds() { return WaitBounds{60, 120}; }

// Two blocks: 1 .. 16.
inline IndicatorImage twoBlockImage()
{
    QByteArray bytes;
    for (int i = 1; i <= 16; ++i)
        bytes.append(char(i));
    return IndicatorImage::fromBytes(bytes);
}

// Three blocks, the least an upload sends: 1 .. 24, with no tanks at address 16, so that the
// header and its empty directory are there.
inline IndicatorImage threeBlockImage()
{
    QByteArray bytes;
    for (int i = 1; i <= 24; ++i)
        bytes.append(char(i));
    bytes[layout::kTankCountAddress] = 0;
    return IndicatorImage::fromBytes(bytes);
}

inline QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

// A simulated meter behind an open port, and a context on that port.
struct OpenMeter {
    explicit OpenMeter(const IndicatorImage& image = {})
        : meter(std::make_shared<SimulatedMeter>(image)), port(meter) { port.open(); }
    std::shared_ptr<SimulatedMeter> meter;
    SimulatedPort port;
    ExchangeContext ctx{port, shortBounds(), {}, nullptr};
};

// Points (0 %, 100), (50 %, 600), (99.99 %, 1100).
inline CurveTable threePointTable()
{
    CurveTable t;
    t.setValue(1, QStringLiteral("100"));
    t.setPercent(1, QStringLiteral("0"));
    t.setValue(2, QStringLiteral("600"));
    t.setPercent(2, QStringLiteral("50"));
    t.setValue(3, QStringLiteral("1100"));
    t.setPercent(3, QStringLiteral("99.99"));
    return t;
}

} // namespace kaldor::testing
