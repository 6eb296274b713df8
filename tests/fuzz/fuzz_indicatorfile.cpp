// Any bytes as an indicator file and as a raw image: loading, decoding the tank records in
// both layouts and their cell texts must never read or write outside a buffer.

#include "store/celltexts.h"
#include "store/indicatorfile.h"
#include "store/tankrecords.h"

#include <cstddef>
#include <cstdint>

using namespace kaldor;

namespace {
void decodeAll(const IndicatorImage& image)
{
    const DecodeResult decoded = decodeTankRecords(image);
    for (const TankRecord& record : decoded.records) {
        for (const bool offsetMode : {true, false}) {
            (void)curveFromRecord(record, offsetMode);
            (void)curveCellRows(record, offsetMode);
        }
        (void)tankListText(record.tankNumber);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const IndicatorFileLoad load = loadIndicatorFileFromBytes(bytes);
    if (load.ok()) decodeAll(load.image);
    decodeAll(IndicatorImage::fromBytes(bytes));
    return 0;
}
