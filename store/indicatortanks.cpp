#include "store/indicatortanks.h"

#include "store/messages.h"

namespace kaldor {

IndicatorTanks loadIndicatorTanks(const QString& path)
{
    IndicatorTanks tanks;
    const auto refuse = [&](TanksStatus status, const QString& message, const QString& why) {
        tanks.status = status;
        tanks.message = message;
        tanks.detail = fileRefusal(path, why);
        return tanks;
    };
    const IndicatorFileLoad load = loadIndicatorFile(path);
    tanks.fileOpened = load.fileOpened;
    tanks.image = load.image;
    switch (load.status) {
    case LoadStatus::Ok:
        break;
    case LoadStatus::NotFound:
        return refuse(TanksStatus::NotFound, {}, load.detail);
    case LoadStatus::EndOfData:
        return refuse(TanksStatus::EndOfData, load.message, load.detail);
    case LoadStatus::Failed:
        return refuse(TanksStatus::Failed, load.message, load.detail);
    }
    DecodeResult decoded = decodeTankRecords(load.image);
    if (!decoded.ok())
        return refuse(TanksStatus::Failed, errorText(decoded.errorNumber), decoded.detail);
    if (decoded.tankCount == 0)
        return refuse(TanksStatus::NoTanks, kNoTankDataMessage,
                      QStringLiteral("the image holds no tanks"));
    tanks.records = std::move(decoded.records);
    tanks.status = TanksStatus::Ok;
    return tanks;
}

} // namespace kaldor
