#pragma once
// Reading the whole image from the meter ("AU").

#include "link/wire.h"
#include "store/indicatorimage.h"

namespace kaldor {

struct Download {
    ExchangeResult result;
    IndicatorImage image; // length 8 x blockCount when done
    int blockCount = 0;
    int trailingValue = 0; // the first byte of the last block, as the working file keeps it
};

// The wire exchange alone; progress once a block, rounded half to even. An announced count
// above 3125 blocks is refused at stage 2 before any block is taken.
Download downloadImage(ExchangeContext& ctx);

// What a failed read does to the file it was to write.
enum class FailedDownload {
    RemoveFile, // the working file: a failed read leaves none, not even an old one
    KeepFile,   // a file the user named: whatever was there before stays
};

// The exchange and the file, written (atomically) only after the last block. A file that
// cannot be written makes the read Failed with the error number and a detail naming it.
Download downloadIndicatorFile(ExchangeContext& ctx, const QString& path,
                               FailedDownload onFailure = FailedDownload::RemoveFile);

} // namespace kaldor
