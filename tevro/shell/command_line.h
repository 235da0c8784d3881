#pragma once

// What Tevro is started with: links and files to open, and the kit's test
// switch. A link is an argument that begins with a link prefix exactly as
// written ("magnet:", "file://", "http://", "https://"); any other argument
// that does not begin with "--" is a path, relative to the folder the launch
// was started in.

#include <string>
#include <vector>

namespace tevro {

struct CommandLine {
    // Pending-open URLs, in argument order.
    std::vector<std::string> urls;
    // Arguments that begin with "--" and are not ours: the launch prints the
    // usage line and opens nothing.
    std::vector<std::string> unknownOptions;
    bool help = false;

    // `arguments` without the program name; "--" ends the options.
    static CommandLine parse(const std::vector<std::string>& arguments,
                             const std::string& workingFolder);

    static constexpr const char* kUsage = "usage: tevro [--] [magnet link | .torrent file]...\n";
    // The kit's switch for its test channel; the kit reads it itself.
    static constexpr const char* kKitTestSwitch = "--quorvel-test";
};

} // namespace tevro
