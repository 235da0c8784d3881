#pragma once

// The few readings of the machine that settings and storage depend on, behind
// an interface so the desktop build can answer them from Qt and tests can set them.

#include <cstdint>
#include <memory>
#include <string>

namespace tevro {

class MachineInfo {
public:
    virtual ~MachineInfo() = default;

    // Two-letter region of the current locale ("RU"), empty when it has none.
    virtual std::string regionCode() const = 0;
    // IANA identifier of the current time zone ("Europe/Moscow").
    virtual std::string timeZoneId() const = 0;
    virtual std::string homePath() const = 0;
    // The user's Downloads folder.
    virtual std::string downloadsPath() const = 0;
    // The user's generic data folder (~/.local/share); the data folder lives under it.
    virtual std::string dataLocation() const = 0;
    // A uniformly drawn integer in 0...upper from the system's random source.
    virtual std::uint64_t randomUniform(std::uint64_t upper) = 0;
};

// Answers from the environment, /etc and getrandom; used until another is installed.
class PosixMachineInfo : public MachineInfo {
public:
    std::string regionCode() const override;
    std::string timeZoneId() const override;
    std::string homePath() const override;
    std::string downloadsPath() const override;
    std::string dataLocation() const override;
    std::uint64_t randomUniform(std::uint64_t upper) override;
};

std::shared_ptr<MachineInfo> machine();
// Installs `info` and returns the one it replaces.
std::shared_ptr<MachineInfo> setMachine(std::shared_ptr<MachineInfo> info);

// Uniform in 0...upper from getrandom(2), without modulo bias.
std::uint64_t systemRandomUniform(std::uint64_t upper);

} // namespace tevro
