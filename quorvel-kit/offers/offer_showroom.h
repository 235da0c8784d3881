#pragma once

// A panel of the kit with a title bar and a close button that shows a whole
// offers model at once: every offer as a banner in one row, or as a card in a
// scrolling list. It owns no data: it reads the model, calls its operations,
// and tells its host through `close` when nothing is left to show.

#include <functional>
#include <map>
#include <string>

#include <QPointer>
#include <QString>
#include <QWidget>

#include "quorvel-kit/offers/offers_model.h"

class QAbstractButton;
class QBoxLayout;
class QScrollArea;

namespace quorvel {

class OffersShowroom : public QWidget {
    Q_OBJECT
public:
    // Shown as given, in the user's language.
    struct Labels {
        QString title;
        QString close; // the close button's accessible name
        QString hide;  // every banner's or card's hide label
    };
    enum class Layout { list, columns };

    OffersShowroom(OffersModel& model, Labels labels, Layout layout, std::function<void()> close,
                   QWidget* parent = nullptr);

    const Labels& labels() const { return m_labels; }
    Layout layout() const { return m_layout; }
    QAbstractButton* closeButton() const { return m_closeButton; }
    // The banner or card of each offer, in the model's order.
    std::vector<QWidget*> offerViews() const;
    QScrollArea* scrollArea() const { return m_scroll; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void sync();
    QWidget* makeView(const Offer& offer);

    OffersModel& m_model;
    Labels m_labels;
    Layout m_layout;
    std::function<void()> m_close;
    QAbstractButton* m_closeButton;
    QScrollArea* m_scroll = nullptr;
    QBoxLayout* m_offersLayout;
    std::map<std::string, QPointer<QWidget>> m_views;
    bool m_empty;
};

} // namespace quorvel
