#include "tevro/torrent/empty_state.h"

#include <QEvent>
#include <QPainter>

#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"

namespace tevro {

namespace {

constexpr int kSymbolSize = 32;
constexpr int kSymbolGap = 10;

} // namespace

EmptyState::EmptyState(const QString& title, const QString& description, std::string_view symbol,
                       QWidget* over)
    : QLabel(over), m_symbol(symbol) {
    QString html =
        QStringLiteral("<div align=center><span style='font-size:15px; font-weight:600'>%1</span>")
            .arg(title.toHtmlEscaped());
    if (!description.isEmpty())
        html += QStringLiteral("<br><span style='font-size:12px'>%1</span>")
                    .arg(description.toHtmlEscaped());
    html += QStringLiteral("</div>");
    setText(html);
    setAccessibleName(title);
    setAlignment(Qt::AlignCenter);
    // The symbol stands above the text; the pair is centred together.
    setContentsMargins(0, kSymbolSize + kSymbolGap, 0, 0);
    setForegroundRole(QPalette::PlaceholderText);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    over->installEventFilter(this);
    hide();
    place();
}

bool EmptyState::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize)
        place();
    return QLabel::eventFilter(watched, event);
}

void EmptyState::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    const QRect text = contentsRect();
    const int textHeight = sizeHint().height() - contentsMargins().top();
    const int top = text.center().y() - textHeight / 2 - kSymbolGap - kSymbolSize;
    QPainter p(this);
    Symbols::paint(p, QRectF(text.center().x() - kSymbolSize / 2.0, top, kSymbolSize, kSymbolSize),
                   m_symbol, LibraryStyle::muted());
}

void EmptyState::place() {
    if (auto* p = parentWidget())
        setGeometry(p->rect());
}

} // namespace tevro
