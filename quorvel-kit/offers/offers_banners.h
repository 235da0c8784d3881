#pragma once

// A whole offers model as a paged strip: three banners side by side for the
// page on show and, with more than one page, page controls below them. The
// strip keeps no data; it tells its host through `close` when the list has
// become empty.

#include <functional>
#include <string>
#include <vector>

#include <QWidget>

class QAbstractButton;
class QHBoxLayout;
class QLabel;

namespace quorvel {

class OfferBanner;
class OfferImages;
class OffersModel;

class OffersBanners : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinimumWidth = 900;
    static constexpr int kControlsHeight = 44;

    // Texts are shown as given. `images` is the picture loader; none means the shared one.
    OffersBanners(OffersModel& model, QString hideLabel, QString previousLabel, QString nextLabel,
                  std::function<void()> close, QWidget* parent = nullptr,
                  OfferImages* images = nullptr);

    // The banner of a slot (0 to 2), null for an empty slot.
    OfferBanner* banner(int slot) const;
    // Null while there is only one page.
    QWidget* pageControls() const;
    QAbstractButton* previousButton() const { return m_previous; }
    QAbstractButton* nextButton() const { return m_next; }
    QLabel* pageLabel() const { return m_page; }
    // The banners' picture height for the strip's present height.
    int imageHeight() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void sync();

    OffersModel& m_model;
    QString m_hideLabel;
    std::function<void()> m_close;
    OfferImages* m_images;
    bool m_appeared = false;
    bool m_wasEmpty = true;
    std::vector<std::string> m_pageIDs;

    QHBoxLayout* m_row = nullptr;
    QWidget* m_slots[3] = {};
    QWidget* m_controls = nullptr;
    QAbstractButton* m_previous = nullptr;
    QAbstractButton* m_next = nullptr;
    QLabel* m_page = nullptr;
};

} // namespace quorvel
