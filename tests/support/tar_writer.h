#pragma once

// Writes ustar archives for tests, with any entry names and link targets
// (including the unsafe ones an extractor must refuse).

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tevro::test {

class TarWriter {
public:
    void file(const std::string& name, const std::string& data, unsigned mode = 0644) {
        header(name, '0', data.size(), mode, "");
        m_out += data;
        m_out.append((512 - data.size() % 512) % 512, '\0');
    }
    void folder(const std::string& name) { header(name, '5', 0, 0755, ""); }
    void symlink(const std::string& name, const std::string& target) {
        header(name, '2', 0, 0777, target);
    }
    void hardlink(const std::string& name, const std::string& target) {
        header(name, '1', 0, 0644, target);
    }
    void fifo(const std::string& name) { header(name, '6', 0, 0644, ""); }
    // The archive with its end marker.
    std::string finish() const { return m_out + std::string(1024, '\0'); }

private:
    void header(const std::string& name, char type, std::size_t size, unsigned mode,
                const std::string& link) {
        char block[512] = {};
        std::strncpy(block, name.c_str(), 100);
        std::snprintf(block + 100, 8, "%07o", mode);
        std::snprintf(block + 108, 8, "%07o", 1000u);
        std::snprintf(block + 116, 8, "%07o", 1000u);
        std::snprintf(block + 124, 12, "%011zo", size);
        std::snprintf(block + 136, 12, "%011o", 0u);
        block[156] = type;
        std::strncpy(block + 157, link.c_str(), 100);
        std::memcpy(block + 257,
                    "ustar\0"
                    "00",
                    8);
        std::memset(block + 148, ' ', 8);
        unsigned sum = 0;
        for (unsigned char c : block)
            sum += c;
        std::snprintf(block + 148, 8, "%06o", sum);
        m_out.append(block, 512);
    }

    std::string m_out;
};

} // namespace tevro::test
