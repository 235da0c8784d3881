#pragma once

// The process environment for a copy of Tevro that carries its own OpenSSL
// certificates and fontconfig files: when the resource folder holds
// "cacert.pem", point OpenSSL and fontconfig at the bundled files without
// replacing what the user set already.

#include <filesystem>
#include <optional>

namespace tevro::BundledRuntime {

// "<executable folder>/../share/tevro" when it exists.
std::optional<std::filesystem::path> resourceFolder();

void configure(const std::optional<std::filesystem::path>& resources = resourceFolder());

} // namespace tevro::BundledRuntime
