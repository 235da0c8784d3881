#pragma once

// What Tevro is started with: links and files to open, and the kit's test
// switch. A link is an argument that begins with a link prefix exactly as
// written ("magnet:", "file://", "http://", "https://"); any other argument
// that is not an option is a path, relative to the folder the launch was
// started in. Before "--", an argument that begins with "-" (other than "-"
// alone) is an option.

#include <string>
#include <vector>

namespace tevro {

struct CommandLine {
    // Pending-open URLs, in argument order.
    std::vector<std::string> urls;
    // Options that are not ours: the launch names them, prints the usage line
    // and goes on without them (a launcher's stray option still brings up
    // the window with the files beside it).
    std::vector<std::string> unknownOptions;
    // "--help" or "-h": the usage line on standard output, nothing starts.
    bool help = false;

    // `arguments` without the program name; "--" ends the options.
    static CommandLine parse(const std::vector<std::string>& arguments,
                             const std::string& workingFolder);

    static constexpr const char* kUsage =
        "usage: tevro [-h | --help] [--] [magnet link | .torrent file]...\n";
    // The kit's switch for its test channel; the kit reads it itself.
    static constexpr const char* kKitTestSwitch = "--quorvel-test";
};

} // namespace tevro
