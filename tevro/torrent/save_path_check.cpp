#include "tevro/torrent/save_path_check.h"

namespace tevro {

std::optional<QString> savePathProblem(const QString& path) {
    for (QChar c : path)
        if (c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029) ||
            c == QChar(0x85))
            return QStringLiteral("Путь сохранения не может содержать перевод строки");
    return std::nullopt;
}

} // namespace tevro
