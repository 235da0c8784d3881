#include "tevro/library/featured_torrent.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTextLayout>
#include <QVBoxLayout>

#include "tevro/library/checking_metrics.h"
#include "tevro/library/library_button_style.h"
#include "tevro/library/library_style.h"
#include "tevro/library/media_artwork.h"
#include "tevro/library/transfer_progress.h"

namespace tevro {

namespace {

constexpr int kPictureWidth = 340;
constexpr int kPictureHeight = 208;
constexpr qreal kRadius = 14;

// A label of at most `lines` wrapped lines, the last one elided.
class ClampedLabel : public QLabel {
public:
    ClampedLabel(int lines, QWidget* parent) : QLabel(parent), m_lines(lines) {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    QSize sizeHint() const override {
        return {200, int(std::ceil(QFontMetricsF(font()).height())) * lineCount(width())};
    }
    QSize minimumSizeHint() const override { return {50, sizeHint().height()}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int w) const override {
        return int(std::ceil(QFontMetricsF(font()).height())) * lineCount(w);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setFont(font());
        p.setPen(palette().color(QPalette::WindowText));
        const qreal lineH = QFontMetricsF(font()).height();
        qreal y = 0;
        for (const QString& line : lines(width())) {
            p.drawText(QRectF(0, y, width(), lineH), Qt::AlignLeft | Qt::AlignVCenter, line);
            y += lineH;
        }
    }

private:
    int lineCount(int w) const { return std::max<int>(1, int(lines(w).size())); }
    QStringList lines(int w) const {
        QStringList out;
        const QString all = text();
        QTextLayout layout(all, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        while (true) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(std::max(1, w));
            if (int(out.size()) == m_lines - 1) {
                out << QFontMetricsF(font()).elidedText(all.mid(line.textStart()).trimmed(),
                                                        Qt::ElideRight, w);
                break;
            }
            out << all.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
        return out;
    }
    int m_lines;
};

QLabel* label(QWidget* parent, const char* name, const QFont& font, const QColor& color) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(font);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, color);
    l->setPalette(pal);
    return l;
}

} // namespace

FeaturedTorrent::FeaturedTorrent(ArtworkStore* store, TorrentEngine* engine, QWidget* parent)
    : QWidget(parent) {
    QFont eyebrowFont = LibraryStyle::font(9, QFont::Medium);
    eyebrowFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.6);
    m_eyebrow = label(this, "featured.eyebrow", eyebrowFont, LibraryStyle::muted());

    QFont titleFont = LibraryStyle::font(28);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, -0.5);
    auto* title = new ClampedLabel(2, this);
    title->setObjectName(QStringLiteral("featured.title"));
    title->setFont(titleFont);
    m_title = title;

    m_caption = label(this, "featured.caption", LibraryStyle::font(12), LibraryStyle::muted());
    m_caption->setWordWrap(true);

    m_play = new QPushButton(this);
    m_play->setObjectName(QStringLiteral("featured.play"));
    LibraryButtonStyle::apply(m_play, true);
    m_details = new QPushButton(QStringLiteral("Открыть торрент"), this);
    m_details->setObjectName(QStringLiteral("featured.details"));
    LibraryButtonStyle::apply(m_details, false);
    LibraryButtonStyle::setSymbol(m_details, "rectangle.stack");
    connect(m_play, &QPushButton::clicked, this, &FeaturedTorrent::playRequested);
    connect(m_details, &QPushButton::clicked, this, &FeaturedTorrent::detailsRequested);

    m_progress = new TransferProgress(5, engine, this);
    m_progress->setFixedWidth(90);
    m_progressText =
        label(this, "featured.progressText", LibraryStyle::font(10), LibraryStyle::muted());
    m_metrics = new CheckingMetrics(this);

    m_artwork = new MediaArtwork(store, this);
    m_artwork->setShowsTitle(false);
    m_artwork->setCornerRadius(10);
    m_artwork->setFixedHeight(kPictureHeight);
    m_artwork->setMaximumWidth(kPictureWidth);
    m_artwork->setMinimumWidth(kPictureWidth / 2);
    m_artwork->setSizeHint(QSize(kPictureWidth, kPictureHeight));
    m_artwork->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->setContentsMargins(0, 3, 0, 0);
    buttons->addWidget(m_play);
    buttons->addWidget(m_details);
    buttons->addStretch(1);

    auto* progress = new QHBoxLayout;
    progress->setSpacing(10);
    progress->addWidget(m_progress, 0, Qt::AlignVCenter);
    progress->addWidget(m_progressText, 0, Qt::AlignVCenter);
    progress->addStretch(1);

    auto* column = new QVBoxLayout;
    column->setSpacing(13);
    column->setContentsMargins(24, 20, 0, 20);
    column->addStretch(1);
    column->addWidget(m_eyebrow);
    column->addWidget(m_title);
    column->addWidget(m_caption);
    column->addLayout(buttons);
    column->addLayout(progress);
    column->addWidget(m_metrics);
    column->addStretch(1);

    auto* row = new QHBoxLayout(this);
    row->setSpacing(36); // 24 between the parts, 12 around the picture
    row->setContentsMargins(0, 0, 12, 0);
    row->addLayout(column, 1);
    row->addWidget(m_artwork, 0, Qt::AlignVCenter);
    setMinimumHeight(kPictureHeight + 24);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);

    setTorrent({});
}

void FeaturedTorrent::setTorrent(const TorrentStatus& torrent) {
    m_torrent = torrent;
    m_text = LibraryItemText::make(m_torrent);
    m_eyebrow->setText(m_text.eyebrow);
    m_title->setText(m_text.title);
    m_title->setToolTip(m_text.name);
    m_caption->setText(m_text.caption);
    m_play->setText(m_text.watchTitle);
    LibraryButtonStyle::setSymbol(m_play, m_text.watchSymbol);
    m_progress->setTorrent(m_torrent);
    m_progressText->setText(m_text.percent + QStringLiteral(" · ") + m_text.statusText);
    m_metrics->setTorrent(m_torrent);
    m_metrics->setVisible(m_text.checking);
    m_artwork->setTorrent(m_torrent);
    m_title->updateGeometry();
    update();
}

void FeaturedTorrent::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
    p.fillPath(shape, LibraryStyle::surface());
    p.strokePath(shape, QPen(LibraryStyle::line(), 1));
}

} // namespace tevro
