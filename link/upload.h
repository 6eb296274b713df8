#pragma once
// Writing the whole image to the meter ("AD").

#include "link/wire.h"
#include "store/indicatorimage.h"
#include "store/messages.h"

#include <optional>

namespace kaldor {

enum class UploadVariant { MainWindow, FileManagement, Viewer, Construction };

struct UploadSource {
    IndicatorImage image; // 8 x blockCount bytes
    int blockCount = 0;
    std::uint8_t finalByte = 0; // sent after the last block: the last image byte again
};

struct UploadPreparation {
    std::optional<UploadSource> source;
    Messages messages; // why there is none, as the window shows it
    QString detail;    // the same naming the file and saying why, for the headless tool
};

// Reads the whole file with the indicator-file reader and checks it before anything is sent:
// a file that cannot be read, a count the values do not fill, a value outside 0 .. 255, and an
// image too short to hold its header and tank directory are refused.
UploadPreparation uploadSourceFromFile(const QString& path, UploadVariant variant);
// The construction window's built image: totalLength / 8 blocks.
UploadSource uploadSourceFromImage(const IndicatorImage& image, int totalLength);
// Progress: the viewer once a block, the construction window once a byte, the others none.
ExchangeResult uploadImage(ExchangeContext& ctx, const UploadSource& source, UploadVariant variant);

} // namespace kaldor
