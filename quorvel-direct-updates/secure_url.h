#pragma once

#include <QUrl>

namespace quorvel {

// https, a non-empty host, no user name, password or fragment; a query and a port may be there.
bool isSecureUrl(const QUrl& url);

} // namespace quorvel
