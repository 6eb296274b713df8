#include "shell/simulation.h"

#include "sim/simulatedport.h"
#include "store/indicatorfile.h"

#include <QFile>

namespace kaldor {

namespace {
const QString kSampleImage = QStringLiteral(":/samples/three-tanks.idr");
// A short reply latency and a paced line, so that the progress bars move as on site.
constexpr std::chrono::microseconds kReplyLatency{2000};
} // namespace

std::unique_ptr<Simulation> Simulation::load(const QString& file, QString* problem)
{
    // The sample is built into the program; a file of the user's is read through the one
    // input guard, so a FIFO, a device or a file of gigabytes is refused before it is read.
    IndicatorFileLoad loaded;
    if (file.isEmpty()) {
        QFile sample(kSampleImage);
        if (!sample.open(QIODevice::ReadOnly)) {
            if (problem) *problem = QStringLiteral("the built-in sample image is missing");
            return nullptr;
        }
        loaded = loadIndicatorFileFromBytes(sample.readAll());
    } else {
        loaded = loadIndicatorFile(file);
        if (!loaded.fileOpened) {
            if (problem) *problem = QStringLiteral("cannot read %1: %2").arg(file, loaded.detail);
            return nullptr;
        }
    }
    if (!loaded.ok()) {
        if (problem)
            *problem = QStringLiteral("%1 is not an indicator file: %2")
                           .arg(file.isEmpty() ? kSampleImage : file,
                                loaded.detail.isEmpty() ? loaded.message : loaded.detail);
        return nullptr;
    }
    return std::unique_ptr<Simulation>(
        new Simulation(std::make_shared<SimulatedMeter>(loaded.image)));
}

Link::PortFactory Simulation::portFactory() const
{
    const std::shared_ptr<SimulatedMeter> meter = m_meter;
    return [meter](const PortSpec& port) -> std::unique_ptr<SerialPort> {
        MeterTiming timing;
        timing.paced = true;
        timing.latency = kReplyLatency;
        return std::make_unique<SimulatedPort>(
            meter, timing, QStringLiteral("simulated meter on %1").arg(port.deviceName()));
    };
}

} // namespace kaldor
