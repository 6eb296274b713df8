#pragma once
// kaldor --simulate: the program against the built-in simulated meter, so that a technician
// without a meter can try every function. The meter starts with an indicator file, or with
// the sample image built into the program.

#include "link/link.h"
#include "sim/simulatedmeter.h"

#include <memory>

namespace kaldor {

class Simulation {
public:
    // nullopt-like: nullptr with *problem set when the file cannot be used.
    static std::unique_ptr<Simulation> load(const QString& file, QString* problem);

    // Every port option opens a line to the same simulated meter.
    Link::PortFactory portFactory() const;
    std::shared_ptr<SimulatedMeter> meter() const { return m_meter; }

private:
    explicit Simulation(std::shared_ptr<SimulatedMeter> meter) : m_meter(std::move(meter)) {}
    std::shared_ptr<SimulatedMeter> m_meter;
};

} // namespace kaldor
