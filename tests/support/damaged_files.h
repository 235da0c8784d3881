#pragma once

// The damages a data file meets in the wild, applied to a file for a test:
// cut short, emptied, not JSON, wrong types, far too large, unknown keys and
// no permission to read it. Each JSON file supplies its own good text and
// its wrongly typed variant; the rest is the same for every file.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tevro::test {

enum class Damage { truncated, empty, notJson, wrongTypes, huge, unknownKeys, unreadable };

inline const std::vector<Damage>& allDamages() {
    static const std::vector<Damage> all = {Damage::truncated,  Damage::empty, Damage::notJson,
                                            Damage::wrongTypes, Damage::huge,  Damage::unknownKeys,
                                            Damage::unreadable};
    return all;
}

inline const char* damageName(Damage d) {
    switch (d) {
    case Damage::truncated:
        return "truncated";
    case Damage::empty:
        return "empty";
    case Damage::notJson:
        return "not JSON";
    case Damage::wrongTypes:
        return "wrong types";
    case Damage::huge:
        return "100 MB";
    case Damage::unknownKeys:
        return "unknown keys";
    case Damage::unreadable:
        return "mode 000";
    }
    return "?";
}

// What a damaged JSON file is made from.
struct DamageTexts {
    std::string good;        // a valid file
    std::string wrongTypes;  // valid JSON, values of the wrong types
    std::string unknownKeys; // valid, plus keys no version writes
};

// Writes the damaged file (a sparse 100 MB one for `huge`, so it costs no
// disk) and returns the bytes it holds, to be found again later.
inline std::string applyDamage(Damage d, const std::filesystem::path& file,
                               const DamageTexts& texts) {
    std::string bytes;
    switch (d) {
    case Damage::truncated:
        bytes = texts.good.substr(0, texts.good.size() / 2);
        break;
    case Damage::empty:
        break;
    case Damage::notJson:
        bytes = std::string("\x7f"
                            "ELF\x02\x01 not json at all \xff\xfe",
                            24);
        break;
    case Damage::wrongTypes:
        bytes = texts.wrongTypes;
        break;
    case Damage::huge: {
        std::filesystem::remove(file);
        int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        [[maybe_unused]] int r = ::write(fd, "{", 1);
        r = ::ftruncate(fd, 100 << 20);
        ::close(fd);
        return "{";
    }
    case Damage::unknownKeys:
        bytes = texts.unknownKeys;
        break;
    case Damage::unreadable:
        bytes = texts.good;
        break;
    }
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    if (d == Damage::unreadable)
        ::chmod(file.c_str(), 0);
    return bytes;
}

// Root reads a file of mode 000 all the same: tests that need "cannot be
// opened" run that part as nobody (the effective user only, so it can come
// back). A no-op for any other user.
class Unprivileged {
public:
    Unprivileged() {
        if (::geteuid() == 0)
            m_dropped = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    }
    ~Unprivileged() {
        if (m_dropped) {
            [[maybe_unused]] int r = ::seteuid(0);
            r = ::setegid(0);
        }
    }
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;

    // False as root when the switch was refused (a container without
    // CAP_SETUID): permissions then cannot keep a file from this process.
    bool works() const { return m_dropped || ::geteuid() != 0; }

private:
    bool m_dropped = false;
};

} // namespace tevro::test
