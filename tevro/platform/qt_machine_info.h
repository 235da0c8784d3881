#pragma once

// The machine readings answered by Qt: the system locale's territory, the
// system time zone, the standard folders and the system random generator.

#include "tevro/core/machine_info.h"

namespace tevro {

class QtMachineInfo : public MachineInfo {
public:
    std::string regionCode() const override;
    std::string timeZoneId() const override;
    std::string homePath() const override;
    std::string downloadsPath() const override;
    std::string dataLocation() const override;
    std::uint64_t randomUniform(std::uint64_t upper) override;
};

} // namespace tevro
