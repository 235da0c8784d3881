#include "quorvel-direct-updates/secure_url.h"

namespace quorvel {

bool isSecureUrl(const QUrl& url) {
    return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty() &&
           url.userName().isEmpty() && url.password().isEmpty() && !url.hasFragment();
}

} // namespace quorvel
