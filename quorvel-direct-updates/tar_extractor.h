#pragma once

// Unpacks a tar archive (plain, gzip or xz) into an empty folder with
// libarchive's secure extraction: no absolute names, no "..", nothing
// written through a link. Every link must resolve inside the folder, also
// through other links of the archive; hard links, devices and fifos are
// refused. The first refusal ends the extraction.

#include <expected>
#include <filesystem>
#include <functional>
#include <stop_token>

namespace quorvel {

class TarExtractor {
public:
    enum class Error {
        io,        // the archive or the folder could not be read or written
        format,    // not a tar archive, or a broken one
        unsafe,    // an entry that would leave the folder or is not a plain file, folder or link
        cancelled, // the stop token was triggered
    };

    // `progress` receives the share of the archive read so far, 0...1.
    static std::expected<void, Error> extract(const std::filesystem::path& archive,
                                              const std::filesystem::path& destination,
                                              const std::function<void(double)>& progress = {},
                                              std::stop_token stop = {});

    // Whether the link at `link` (inside `root`) resolves inside `root`,
    // following every link on the way as the system would.
    static bool linkStaysInside(const std::filesystem::path& root,
                                const std::filesystem::path& link);
};

} // namespace quorvel
