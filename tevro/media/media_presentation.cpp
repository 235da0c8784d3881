#include "tevro/media/media_presentation.h"

#include <algorithm>
#include <vector>

#include "tevro/media/media_pattern.h"
#include "tevro/media/media_text.h"

namespace tevro {

namespace {

struct Patterns {
    QRegularExpression year = MediaPattern::compile(R"((?<!\d)(?:19|20)\d{2}(?!\d))", false);
    QRegularExpression quality =
        MediaPattern::compile(R"((?i)(?<!\w)(2160p|1080p|1080i|720p|480p|4k)(?!\w))", false);
    QRegularExpression episode =
        MediaPattern::compile(R"((?i)(?<!\w)S(\d{1,2})(?:[ ._-]?E(\d{1,3}))?(?!\d))", false);
    QRegularExpression release = MediaPattern::compile(
        R"((?i)(?<!\w)(WEB[ ._-]?(?:DL|Rip)|Blu[ ._-]?Ray|BDRip|HDRip|DVDRip|HDTV|REMUX|HEVC|x26[45]|H[ .]?26[45])(?!\w))",
        false);
};

const Patterns& patterns() {
    static const Patterns p;
    return p;
}

bool isSpace(QChar c) {
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QStringView trimmed(QStringView text, bool (*drop)(QChar)) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && drop(text[start]))
        ++start;
    while (end > start && drop(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

bool isTitleEdge(QChar c) {
    return c == u' ' || c == u'-' || c == u'[' || c == u']' || c == u'(' || c == u')';
}

} // namespace

MediaPresentation::MediaPresentation(std::string_view name) {
    const Patterns& p = patterns();

    MediaKind extensionKind = mediaKindForPath(name);
    const QString base =
        MediaPattern::toQString(extensionKind != MediaKind::other ? MediaText::stem(name) : name);
    QString text = base;
    text.replace(u'.', u' ').replace(u'_', u' ');

    // Positions are in UTF-16 units, as QString counts them.
    QRegularExpressionMatch yearMatch;
    for (auto it = p.year.globalMatch(text); it.hasNext();) {
        QRegularExpressionMatch m = it.next();
        if (m.capturedStart() != 0) {
            yearMatch = m;
            break;
        }
    }
    QRegularExpressionMatch qualityMatch = p.quality.match(text);
    QRegularExpressionMatch episodeMatch = p.episode.match(text);
    QRegularExpressionMatch releaseMatch = p.release.match(text);

    if (yearMatch.hasMatch())
        year = yearMatch.captured().toStdString();

    if (qualityMatch.hasMatch()) {
        QString q = qualityMatch.captured();
        if (q.toLower() == u"2160p")
            quality = "4K";
        else
            quality = q.toUpper().replace(u'P', u'p').toStdString();
    }

    if (episodeMatch.hasMatch()) {
        int season = MediaPattern::parseDecimal(episodeMatch.capturedView(1)).value_or(1);
        std::string line = "Сезон " + std::to_string(season);
        if (episodeMatch.capturedStart(2) >= 0) {
            int number = MediaPattern::parseDecimal(episodeMatch.capturedView(2)).value_or(1);
            line += " · Серия " + std::to_string(number);
        }
        episode = std::move(line);
    }

    if (extensionKind != MediaKind::other)
        kind = extensionKind;
    else if (qualityMatch.hasMatch() || episodeMatch.hasMatch() || releaseMatch.hasMatch())
        kind = MediaKind::video;
    else
        kind = MediaKind::other;

    // The title ends where the first mark begins; a mark at the very start cuts nothing.
    std::vector<qsizetype> cuts;
    for (const QRegularExpressionMatch* m :
         {&yearMatch, &qualityMatch, &episodeMatch, &releaseMatch})
        if (m->hasMatch() && m->capturedStart() > 0)
            cuts.push_back(m->capturedStart());

    if (kind != MediaKind::video) {
        title = base.toStdString();
    } else if (cuts.empty()) {
        title = trimmed(text, isSpace).toString().toStdString();
    } else {
        qsizetype cut = *std::ranges::min_element(cuts);
        QStringView head = trimmed(QStringView(text).left(cut), isTitleEdge);
        title = head.isEmpty() ? base.toStdString() : head.toString().toStdString();
    }
}

std::string MediaPresentation::subtitle() const {
    std::string out;
    for (const std::optional<std::string>* part : {&year, &episode, &quality}) {
        if (!*part)
            continue;
        if (!out.empty())
            out += " · ";
        out += **part;
    }
    return out;
}

} // namespace tevro
