#include "construct/constructedsave.h"

#include "store/indicatorfile.h"

namespace kaldor {

Messages saveConstructedFile(const QString& path, const BuildState& state,
                             const QStringList& fileNames, const QDir& directory)
{
    if (!canSaveBuild(state, fileNames)) return {refusal(kNotBuiltMessage)};
    if (const auto clash = outputAmongSources(path, fileNames, directory)) return {refusal(*clash)};
    const FileWriteResult written =
        writeConstructedFile(directory.filePath(path), state.image, state.totalLength);
    if (!written.ok) return {refusal(errorText(written.errorNumber))};
    return {info(path + QStringLiteral(" saved."))};
}

} // namespace kaldor
