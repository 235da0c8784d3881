#pragma once

// Unpacks a tar archive (ustar, with pax and GNU long names) into an empty
// folder. Nothing may land outside it: absolute names, ".." parts, links
// whose target leaves the folder, hard links, devices and writes through an
// earlier link are all refused, and the first refusal ends the extraction.

#include <expected>
#include <filesystem>
#include <functional>
#include <string>

namespace quorvel {

class TarExtractor {
public:
    enum class Error {
        io,     // the archive or the folder could not be read or written
        format, // not a tar archive, or a broken one
        unsafe, // an entry that would leave the folder or is not a plain file, folder or link
    };

    // `progress` receives the share of the archive read so far, 0...1.
    static std::expected<void, Error> extract(const std::filesystem::path& archive,
                                              const std::filesystem::path& destination,
                                              const std::function<void(double)>& progress = {});
};

} // namespace quorvel
