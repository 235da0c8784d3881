#pragma once

#include <memory>
#include <string>

#include "tevro/core/machine_info.h"

namespace tevro::test {

// Machine readings a test sets by hand; installed for the scope of the object.
class FakeMachine : public MachineInfo {
public:
    std::string region = "US";
    std::string timeZone = "America/New_York";
    std::string home = "/home/tester";
    std::string downloads = "/home/tester/Downloads";
    std::string data = "/home/tester/.local/share";
    std::uint64_t nextRandom = 0;

    std::string regionCode() const override { return region; }
    std::string timeZoneId() const override { return timeZone; }
    std::string homePath() const override { return home; }
    std::string downloadsPath() const override { return downloads; }
    std::string dataLocation() const override { return data; }
    std::uint64_t randomUniform(std::uint64_t upper) override {
        return nextRandom > upper ? upper : nextRandom;
    }
};

// Installs a FakeMachine for its lifetime and puts the previous one back.
class ScopedFakeMachine {
public:
    ScopedFakeMachine() : m_fake(std::make_shared<FakeMachine>()) { m_old = setMachine(m_fake); }
    ~ScopedFakeMachine() { setMachine(m_old); }
    FakeMachine* operator->() { return m_fake.get(); }

private:
    std::shared_ptr<FakeMachine> m_fake;
    std::shared_ptr<MachineInfo> m_old;
};

} // namespace tevro::test
