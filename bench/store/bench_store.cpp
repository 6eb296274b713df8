// Timing of the store's heavy paths on the largest image: decoding 164 tanks from 25000
// bytes, and reading and writing a 25003-value container. Prints medians; decides nothing.

#include "bench/support/fullimage.h"
#include "store/celltexts.h"
#include "store/imagecompare.h"
#include "store/indicatorfile.h"
#include "store/tankrecords.h"
#include "store/wordcodec.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace kaldor;

namespace {

constexpr int kRuns = 200;

template <typename F> void measure(const char* name, F&& work)
{
    std::vector<double> ms;
    ms.reserve(kRuns);
    for (int r = 0; r < kRuns; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        const auto t1 = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %8.3f ms   min %8.3f ms   max %8.3f ms\n", name, ms[ms.size() / 2],
                ms.front(), ms.back());
}

} // namespace

int main()
{
    const IndicatorImage image = bench::fullImage();
    std::printf("image: %d tanks, end pointer %d, length %d, page mark %d\n",
                image.at(layout::kTankCountAddress),
                image.at(layout::kEndPointerAddress) * 256 +
                    image.at(layout::kEndPointerAddress + 1),
                image.length(), image.at(layout::kPageMarkAddress));
    const DecodeResult check = decodeTankRecords(image);
    if (!check.ok() || check.records.size() != layout::kMaxDirectoryEntries) {
        std::printf("decode failed: %s\n", qPrintable(check.detail));
        return 1;
    }
    const QByteArray download =
        formatIndicatorFile(layout::kMaxBlocks, image, image.at(layout::kMaxLength - 8));
    const QByteArray constructed = formatConstructedFile(image, layout::kMaxLength);
    if (!loadIndicatorFileFromBytes(download).ok() ||
        !loadIndicatorFileFromBytes(constructed).ok()) {
        std::printf("container read-back failed\n");
        return 1;
    }
    std::printf("download form %lld bytes, constructed form %lld bytes\n",
                static_cast<long long>(download.size()),
                static_cast<long long>(constructed.size()));

    volatile long long sink = 0;
    measure("decode 164 tanks (25000 bytes)",
            [&] { sink = sink + decodeTankRecords(image).records.size(); });
    measure("decode + cell texts of every tank", [&] {
        for (const TankRecord& record : decodeTankRecords(image).records)
            sink = sink + curveCellRows(record, true).size();
    });
    measure("load 25003-value container (download form)",
            [&] { sink = sink + loadIndicatorFileFromBytes(download).image.length(); });
    measure("load 25003-value container (constructed form)",
            [&] { sink = sink + loadIndicatorFileFromBytes(constructed).image.length(); });
    measure("format download form",
            [&] { sink = sink + formatIndicatorFile(layout::kMaxBlocks, image, 0).size(); });
    // Compare: the same image, and one in which the next-to-last point of every tank differs
    // (every record's cell texts are made on both sides), alone and with both files read.
    IndicatorImage changed = image;
    for (const TankRecord& record : check.records) {
        const int address = record.start + 2 * (int(record.words.size()) - 3);
        changed.set(address, changed.at(address) ^ 1);
    }
    if (compareImages(image, changed, true).tanks.size() != layout::kMaxDirectoryEntries) {
        std::printf("compare missed a tank\n");
        return 1;
    }
    const QByteArray changedFile = formatIndicatorFile(layout::kMaxBlocks, changed, 0);
    measure("compare two full images, the same",
            [&] { sink = sink + compareImages(image, image, true).identical; });
    measure("compare two full images, every tank changed",
            [&] { sink = sink + compareImages(image, changed, true).tanks.size(); });
    measure("compare, both files read first (kaldorctl diff)", [&] {
        sink = sink + compareImages(loadIndicatorFileFromBytes(download).image,
                                    loadIndicatorFileFromBytes(changedFile).image, true)
                          .tanks.size();
    });
    // What "Compare with Meter" does once the meter is read: both images decoded, their tanks
    // paired, and the differing cells of the tank shown (the last, changed as every other).
    measure("compare window: decode, pair, cells shown", [&] {
        const DecodeResult a = decodeTankRecords(image);
        const DecodeResult b = decodeTankRecords(changed);
        const QVector<TankPair> pairs = pairTanks(a.records, b.records);
        const TankPair& shown = pairs.constLast();
        sink = sink + differingCells(a.records[shown.indexA], b.records[shown.indexB], true).size();
    });
    measure("format constructed form",
            [&] { sink = sink + formatConstructedFile(image, layout::kMaxLength).size(); });
    return 0;
}
