#include "quorvel-kit/statistics/file_identity_store.h"

#include <QString>
#include <QStringDecoder>

#include "quorvel-kit/statistics/file_io.h"

namespace quorvel {

std::optional<std::string> FileIdentityStore::load() const {
    std::optional<std::string> bytes = readFile(m_url);
    if (!bytes)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes->data(), qsizetype(bytes->size())));
    if (utf8.hasError())
        return std::nullopt;
    return text.trimmed().toStdString();
}

std::expected<void, std::string> FileIdentityStore::save(const std::string& id) const {
    std::error_code ec;
    std::filesystem::create_directories(m_url.parent_path(), ec);
    if (ec)
        return std::unexpected(ec.message());
    if (std::error_code w = writeFileAtomically(m_url, id))
        return std::unexpected(w.message());
    return {};
}

} // namespace quorvel
