#include "tevro/shell/bundled_runtime.h"

#include <cstdlib>
#include <system_error>

#include <unistd.h>

namespace tevro::BundledRuntime {

std::optional<std::filesystem::path> resourceFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::nullopt;
    auto folder = exe.parent_path().parent_path() / "share" / "tevro";
    if (!std::filesystem::is_directory(folder, ec))
        return std::nullopt;
    return folder;
}

void configure(const std::optional<std::filesystem::path>& resources) {
    if (!resources)
        return;
    auto cert = *resources / "cacert.pem";
    std::error_code ec;
    if (!std::filesystem::exists(cert, ec))
        return;
    setenv("SSL_CERT_FILE", cert.c_str(), 0);
    setenv("OPENSSL_CONF", "/dev/null", 0);
    setenv("FONTCONFIG_PATH", (*resources / "fontconfig").c_str(), 0);
    setenv("FONTCONFIG_FILE", (*resources / "fontconfig" / "fonts.conf").c_str(), 0);
}

} // namespace tevro::BundledRuntime
