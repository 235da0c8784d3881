#pragma once

// The offers page shown in place of the main window's content: a breadcrumb
// bar with the way back to the library and the paged banner strip.

#include <QWidget>

class QAbstractButton;

namespace quorvel {
class OffersBanners;
class OfferImages;
} // namespace quorvel

namespace tevro {

class SidebarOffersState;

class OffersPage : public QWidget {
    Q_OBJECT
public:
    // `images` is the picture loader; none means the shared one.
    explicit OffersPage(SidebarOffersState& state, QWidget* parent = nullptr,
                        quorvel::OfferImages* images = nullptr);

    // Named "offers.back"; Ctrl+[ does the same.
    QAbstractButton* back() const { return m_back; }
    quorvel::OffersBanners* banners() const { return m_banners; }

private:
    QAbstractButton* m_back = nullptr;
    quorvel::OffersBanners* m_banners = nullptr;
};

} // namespace tevro
