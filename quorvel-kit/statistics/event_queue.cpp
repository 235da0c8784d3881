#include "quorvel-kit/statistics/event_queue.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <QStringDecoder>

#include "quorvel-kit/statistics/file_io.h"

namespace quorvel {

namespace {

bool validUtf8(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return !utf8.hasError();
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

} // namespace

EventQueue::EventQueue(std::filesystem::path url) : m_url(std::move(url)) {
    std::optional<std::string> content = readFile(m_url);
    if (!content)
        return;
    std::string_view all(*content);
    // A crash in the middle of an append leaves a last line without its line
    // feed; whatever it holds is incomplete.
    bool torn = !all.empty() && all.back() != '\n';
    if (torn)
        all = all.substr(0, all.rfind('\n') == std::string_view::npos ? 0 : all.rfind('\n') + 1);
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string_view::npos)
            end = all.size();
        std::string_view piece = all.substr(start, end - start);
        start = end + 1;
        size_t tab = piece.find('\t');
        if (piece.empty() || tab == std::string_view::npos || !validUtf8(piece.substr(0, tab)))
            continue;
        m_entries.push_back(
            {std::string(piece.substr(0, tab)), std::string(piece.substr(tab + 1))});
        m_bytes += int64_t(piece.size() - tab - 1);
    }
    if (trim() || torn)
        rewrite();
}

void EventQueue::append(Entry entry) {
    m_bytes += int64_t(entry.json.size());
    m_entries.push_back(std::move(entry));
    if (trim()) {
        rewrite();
        return;
    }
    const Entry& e = m_entries.back();
    std::string line;
    line.reserve(e.id.size() + e.json.size() + 2);
    line.append(e.id).append(1, '\t').append(e.json).append(1, '\n');
    std::error_code ec;
    if (!std::filesystem::exists(m_url, ec)) {
        std::filesystem::create_directories(m_url.parent_path(), ec);
        if (ec) {
            rewrite();
            return;
        }
    }
    if (!appendLine(line))
        rewrite();
}

bool EventQueue::appendLine(const std::string& line) {
    int fd = ::open(m_url.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = true;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || ::lseek(fd, 0, SEEK_END) < 0) {
        ok = false;
    } else if (st.st_size > 0) {
        // An earlier write that stopped short must not glue this line to it.
        char last = '\n';
        if (::pread(fd, &last, 1, st.st_size - 1) != 1)
            ok = false;
        else if (last != '\n')
            ok = writeAll(fd, std::string(1, '\n') + line);
        else
            ok = writeAll(fd, line);
    } else {
        ok = writeAll(fd, line);
    }
    ::close(fd);
    return ok;
}

std::vector<EventQueue::Entry> EventQueue::batch(size_t limit, int64_t maxBytes) const {
    std::vector<Entry> result;
    int64_t total = 0;
    for (const Entry& e : m_entries) {
        if (result.size() >= limit)
            break;
        int64_t size = int64_t(e.json.size());
        if (!result.empty() && total + size > maxBytes)
            break;
        total += size;
        result.push_back(e);
    }
    return result;
}

void EventQueue::remove(const std::set<std::string>& ids) {
    if (ids.empty())
        return;
    std::erase_if(m_entries, [&](const Entry& e) { return ids.contains(e.id); });
    m_bytes = 0;
    for (const Entry& e : m_entries)
        m_bytes += int64_t(e.json.size());
    rewrite();
}

void EventQueue::clear() {
    m_entries.clear();
    m_bytes = 0;
    std::error_code ec;
    std::filesystem::remove(m_url, ec);
}

bool EventQueue::trim() {
    size_t n = m_entries.size();
    size_t excess = n > kMaxEntries ? n - kMaxEntries : 0;
    if (excess == 0 && (m_bytes <= kMaxBytes || m_entries.empty()))
        return false;
    size_t removed = 0;
    while (removed < m_entries.size() && (removed < excess || m_bytes > kMaxBytes)) {
        m_bytes -= int64_t(m_entries[removed].json.size());
        ++removed;
    }
    m_entries.erase(m_entries.begin(), m_entries.begin() + std::ptrdiff_t(removed));
    return removed > 0;
}

void EventQueue::rewrite() {
    std::string content;
    for (const Entry& e : m_entries)
        content.append(e.id).append(1, '\t').append(e.json).append(1, '\n');
    std::error_code ec;
    std::filesystem::create_directories(m_url.parent_path(), ec);
    if (ec)
        return;
    (void)writeFileAtomically(m_url, content);
}

} // namespace quorvel
