#include "tevro/media/media_pattern.h"

#include <cstdio>
#include <cstdlib>

namespace tevro::MediaPattern {

QRegularExpression compile(const char* pattern, bool caseInsensitive) {
    QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
    if (caseInsensitive)
        options |= QRegularExpression::CaseInsensitiveOption;
    QRegularExpression re(QString::fromUtf8(pattern), options);
    if (!re.isValid()) {
        std::fprintf(stderr, "invalid pattern %s: %s\n", pattern,
                     re.errorString().toUtf8().constData());
        std::abort();
    }
    return re;
}

std::optional<int> parseDecimal(QStringView digits) {
    if (digits.isEmpty() || digits.size() > 9)
        return std::nullopt;
    int value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace tevro::MediaPattern
