#include "tevro/torrent/empty_state.h"

#include <QEvent>

namespace tevro {

EmptyState::EmptyState(const QString& title, const QString& description, QWidget* over)
    : QLabel(over) {
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

void EmptyState::place() {
    if (auto* p = parentWidget())
        setGeometry(p->rect());
}

} // namespace tevro
