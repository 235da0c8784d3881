#include "tevro/shell/offers_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "quorvel-kit/offers/offers_banners.h"
#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"
#include "tevro/shell/sidebar_offers_state.h"

namespace tevro {

namespace {

QLabel* crumb(const QString& text, qreal opacity, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(LibraryStyle::font(12));
    QColor colour = LibraryStyle::muted();
    colour.setAlphaF(float(opacity));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    return label;
}

} // namespace

OffersPage::OffersPage(SidebarOffersState& state, QWidget* parent, quorvel::OfferImages* images)
    : QWidget(parent) {
    setObjectName(QStringLiteral("offers.page"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, LibraryStyle::background());
    setPalette(pal);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(28, 24, 28, 16);
    bar->setSpacing(10);
    auto* back = new QPushButton(QStringLiteral("Медиатека"), this);
    back->setObjectName(QStringLiteral("offers.back"));
    back->setAccessibleName(back->text());
    back->setFlat(true);
    back->setCursor(Qt::PointingHandCursor);
    back->setFont(LibraryStyle::font(12));
    back->setIcon(Symbols::icon("chevron.left", LibraryStyle::text(), 12));
    back->setIconSize(QSize(12, 12));
    back->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0; color: white; }"
                                       "QPushButton:pressed { color: rgba(255, 255, 255, 140); }"));
    connect(back, &QPushButton::clicked, this, [&state] { state.close(); });
    m_back = back;
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_BracketLeft), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [&state] { state.close(); });
    bar->addWidget(back);
    bar->addWidget(crumb(QStringLiteral("/"), 0.4, this));
    bar->addWidget(crumb(QStringLiteral("Есть ещё"), 1.0, this));
    bar->addStretch(1);
    column->addLayout(bar);

    m_banners = new quorvel::OffersBanners(
        state.model(), QStringLiteral("Скрыть"), QStringLiteral("Предыдущие"),
        QStringLiteral("Следующие"), [&state] { state.close(); }, this, images);
    column->addWidget(m_banners, 1);
}

} // namespace tevro
