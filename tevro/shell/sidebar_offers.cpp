#include "tevro/shell/sidebar_offers.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>

#include "quorvel-kit/offers/offers_model.h"
#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"
#include "tevro/shell/sidebar_offers_state.h"

namespace tevro {

namespace {

constexpr int kHeight = 38;
constexpr int kPadding = 13;

// The small turning arc of a load under way.
class Spinner : public QWidget {
public:
    explicit Spinner(QWidget* parent) : QWidget(parent), m_timer(this) {
        setObjectName(QStringLiteral("sidebar.offers.spinner"));
        setAccessibleName(QStringLiteral("Загрузка предложений"));
        setFixedSize(10, 10);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_angle = (m_angle + 30) % 360;
            update();
        });
    }

protected:
    void showEvent(QShowEvent*) override { m_timer.start(80); }
    void hideEvent(QHideEvent*) override { m_timer.stop(); }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPen pen(LibraryStyle::muted(), 1.5);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.drawArc(QRectF(rect()).adjusted(1, 1, -1, -1), -m_angle * 16, 270 * 16);
    }

private:
    QTimer m_timer;
    int m_angle = 0;
};

class EntryButton : public QAbstractButton {
public:
    EntryButton(SidebarOffersState& state, QWidget* parent)
        : QAbstractButton(parent), m_state(state) {
        setObjectName(QStringLiteral("sidebar.offers"));
        setText(QStringLiteral("Есть ещё"));
        setAccessibleName(text());
        setFont(LibraryStyle::font(12, QFont::Medium));
        setFixedHeight(kHeight);
        setCursor(Qt::PointingHandCursor);
        // Checked marks the entry as selected while the page is shown.
        setCheckable(true);
    }

    QSize sizeHint() const override { return {172, kHeight}; }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QAbstractButton::resizeEvent(event);
        // The spinner stands where the chevron would.
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            child->move(width() - kPadding - 10, (height() - 10) / 2);
    }

    // Only the page decides the checked state, never a click.
    void nextCheckState() override {}

    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QColor back = LibraryStyle::accent();
        back.setAlphaF(m_state.isPresented() ? 0.2f : 0.1f);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 9, 9);
        p.fillPath(shape, back);
        if (isDown())
            p.fillPath(shape, QColor(255, 255, 255, 14));

        const qreal mid = height() / 2.0;
        Symbols::paint(p, QRectF(kPadding, mid - 9, 18, 18).adjusted(1.5, 1.5, -1.5, -1.5),
                       "gift.fill", LibraryStyle::accent());
        p.setPen(Qt::white);
        p.setFont(font());
        const int textLeft = kPadding + 18 + 10;
        p.drawText(QRect(textLeft, 0, width() - textLeft - kPadding - 12, height()),
                   Qt::AlignVCenter | Qt::AlignLeft, text());
        if (!m_state.isRefreshing())
            Symbols::paint(p, QRectF(width() - kPadding - 10, mid - 5, 10, 10), "chevron.right",
                           LibraryStyle::muted());
    }

private:
    SidebarOffersState& m_state;
};

} // namespace

SidebarOffers::SidebarOffers(SidebarOffersState& state, QWidget* parent)
    : QWidget(parent), m_state(state) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 8, 12, 0);
    column->setSpacing(0);
    m_entry = new EntryButton(state, this);
    column->addWidget(m_entry);
    m_spinner = new Spinner(m_entry);
    m_spinner->hide();

    connect(m_entry, &QAbstractButton::clicked, this, [this] { m_state.present(); });
    connect(&state, &SidebarOffersState::presentedChanged, this, &SidebarOffers::sync);
    connect(&state, &SidebarOffersState::refreshingChanged, this, &SidebarOffers::sync);
    connect(&state.model(), &quorvel::OffersModel::offersChanged, this, &SidebarOffers::sync);
    // Back in the foreground: the list may have changed meanwhile.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState s) {
                if (s == Qt::ApplicationActive)
                    m_state.refresh(false);
            });
    sync();
}

void SidebarOffers::sync() {
    // With no offers the entry takes no room at all.
    const bool any = !m_state.model().offers().empty();
    layout()->setContentsMargins(12, any ? 8 : 0, 12, 0);
    m_entry->setVisible(any);
    m_entry->setEnabled(!m_state.isRefreshing());
    m_entry->setChecked(m_state.isPresented());
    m_spinner->setVisible(m_state.isRefreshing());
    m_entry->update();
}

void SidebarOffers::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        m_state.refresh(false);
    }
}

} // namespace tevro
