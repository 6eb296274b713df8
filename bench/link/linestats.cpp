#include "bench/link/linestats.h"

#include "bench/support/stats.h"
#include "store/indicatorimage.h"

#include <algorithm>
#include <cstdio>

namespace kaldor::bench {

LineCount lineCount(Kind k, int blocks, int sendBytes)
{
    switch (k) {
    case Kind::Download: // frame, ACK, ACK to the count, one ACK a block; ACK, count, blocks
        return {4 + 1 + 1 + blocks, 1 + 2 + layout::kBlockSize * blocks, 2 + blocks, 1};
    case Kind::Upload: // frame, count, blocks, the final byte; ACK to the frame, the count, each
                       // block
        return {4 + 2 + layout::kBlockSize * blocks + 1, 2 + blocks, 2 + blocks, 1};
    case Kind::Send: // frame, tank, count, data; ACK to each
        return {4 + 1 + 2 + sendBytes, 3 + sendBytes, 3 + sendBytes, 0};
    }
    return {};
}

void Turnarounds::add(const std::vector<double>& call, const std::vector<double>& out)
{
    toCall.insert(toCall.end(), call.begin(), call.end());
    toByteOut.insert(toByteOut.end(), out.begin(), out.end());
}

void printTurnarounds(const char* who, const std::vector<double>& v)
{
    std::printf("    %-48s n=%-6zu median %7.1f us   p99 %7.1f us   max %8.1f us\n", who, v.size(),
                median(v), percentile(v, 99),
                v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()));
}

} // namespace kaldor::bench
