#include "tevro/shell/command_line.h"

#include "tevro/shell/app_delegate.h"

namespace tevro {

CommandLine CommandLine::parse(const std::vector<std::string>& arguments,
                               const std::string& workingFolder) {
    CommandLine out;
    bool options = true;
    for (const std::string& argument : arguments) {
        // Names nothing: made absolute it would be the launch's own folder.
        if (argument.empty())
            continue;
        if (options && argument == "--") {
            options = false;
            continue;
        }
        if (options && argument.size() > 1 && argument.starts_with('-')) {
            if (argument == "--help" || argument == "-h")
                out.help = true;
            else if (argument != kKitTestSwitch)
                out.unknownOptions.push_back(argument);
            continue;
        }
        out.urls.push_back(AppDelegate::urlFromArgument(argument, workingFolder));
    }
    return out;
}

} // namespace tevro
