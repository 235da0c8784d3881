#include "quorvel-direct-updates/appcast.h"

#include <algorithm>

#include <QXmlStreamReader>

namespace quorvel {

namespace {

constexpr const char* kSignatureMarker = "<!-- appcast-signature: ";
constexpr const char* kCommentEnd = " -->";

bool isSpace(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

std::string text(QXmlStreamReader& reader) {
    return reader.readElementText(QXmlStreamReader::IncludeChildElements).trimmed().toStdString();
}

} // namespace

std::optional<SignedFeed> Appcast::split(const QByteArray& document) {
    qsizetype end = document.size();
    while (end > 0 && isSpace(document[end - 1]))
        --end;
    const QByteArray trimmed = document.left(end);
    if (!trimmed.endsWith(kCommentEnd))
        return std::nullopt;
    const qsizetype marker = trimmed.lastIndexOf(kSignatureMarker);
    if (marker < 0)
        return std::nullopt;
    const qsizetype start = marker + qsizetype(qstrlen(kSignatureMarker));
    const qsizetype stop = trimmed.size() - qsizetype(qstrlen(kCommentEnd));
    if (stop < start)
        return std::nullopt;
    const QByteArray signature = trimmed.mid(start, stop - start);
    // Only Base64 inside: a comment after the signature's one is not a signature.
    const bool base64 = std::all_of(signature.begin(), signature.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/' || c == '=';
    });
    if (!base64)
        return std::nullopt;
    return SignedFeed{document.left(marker), signature};
}

QByteArray Appcast::signatureComment(const QByteArray& base64Signature) {
    return QByteArray(kSignatureMarker) + base64Signature + kCommentEnd + "\n";
}

std::expected<std::vector<AppcastItem>, std::string> Appcast::parse(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    const QString ns = QString::fromLatin1(kAppcastNamespace);
    std::vector<AppcastItem> items;
    bool sawRss = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("rss") && reader.namespaceUri().isEmpty()) {
            sawRss = true;
            continue;
        }
        if (reader.name() != QLatin1String("item") || !reader.namespaceUri().isEmpty())
            continue;
        AppcastItem item;
        while (reader.readNextStartElement()) {
            const bool own = reader.namespaceUri() == ns;
            const auto name = reader.name();
            if (own && name == QLatin1String("version")) {
                item.versionString = text(reader);
            } else if (own && name == QLatin1String("shortVersionString")) {
                item.displayVersionString = text(reader);
            } else if (own && name == QLatin1String("informationalUpdate")) {
                item.informationOnly = true;
                reader.skipCurrentElement();
            } else if (own && name == QLatin1String("installationType")) {
                item.installationType = text(reader);
            } else if (!own && reader.namespaceUri().isEmpty() && name == QLatin1String("title")) {
                item.title = text(reader);
            } else if (reader.namespaceUri().isEmpty() && name == QLatin1String("description")) {
                const auto attributes = reader.attributes();
                if (attributes.hasAttribute(ns, "format"))
                    item.itemDescriptionFormat =
                        attributes.value(ns, "format").toString().toStdString();
                item.itemDescription =
                    reader.readElementText(QXmlStreamReader::IncludeChildElements).toStdString();
            } else if (reader.namespaceUri().isEmpty() && name == QLatin1String("enclosure")) {
                const auto attributes = reader.attributes();
                if (attributes.hasAttribute("url"))
                    item.fileURL = QUrl(attributes.value("url").toString(), QUrl::StrictMode);
                bool ok = false;
                const qulonglong length = attributes.value("length").toULongLong(&ok);
                item.contentLength = ok ? length : 0;
                item.edSignature = attributes.value(ns, "edSignature").toLatin1();
                reader.skipCurrentElement();
            } else {
                reader.skipCurrentElement();
            }
        }
        if (item.displayVersionString.empty())
            item.displayVersionString = item.versionString;
        items.push_back(std::move(item));
    }
    if (reader.hasError())
        return std::unexpected(reader.errorString().toStdString());
    if (!sawRss)
        return std::unexpected(std::string("not an RSS document"));
    return items;
}

int compareBuildVersions(const std::string& left, const std::string& right) {
    auto parts = [](const std::string& version) {
        std::vector<std::string> list;
        std::size_t start = 0;
        for (;;) {
            const std::size_t dot = version.find('.', start);
            list.push_back(version.substr(start, dot == std::string::npos ? dot : dot - start));
            if (dot == std::string::npos)
                return list;
            start = dot + 1;
        }
    };
    auto numeric = [](const std::string& part) {
        return !part.empty() &&
               std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    auto stripped = [](const std::string& part) {
        const std::size_t first = part.find_first_not_of('0');
        return first == std::string::npos ? std::string() : part.substr(first);
    };
    const auto a = parts(left);
    const auto b = parts(right);
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const std::string x = i < a.size() ? a[i] : "0";
        const std::string y = i < b.size() ? b[i] : "0";
        if (numeric(x) && numeric(y)) {
            const std::string u = stripped(x);
            const std::string v = stripped(y);
            if (u.size() != v.size())
                return u.size() < v.size() ? -1 : 1;
            if (u != v)
                return u < v ? -1 : 1;
        } else if (x != y) {
            // A number outranks text in the same place (1.0 > 1.0b).
            if (numeric(x) != numeric(y))
                return numeric(x) ? 1 : -1;
            return x < y ? -1 : 1;
        }
    }
    return 0;
}

} // namespace quorvel
