#pragma once

// The sidebar's entry "Есть ещё": present only while there are offers, it
// loads the list when first shown and whenever the application becomes
// active, shows a spinner while a load runs, and presents the offers page
// on a click.

#include <QWidget>

class QAbstractButton;

namespace tevro {

class SidebarOffersState;

class SidebarOffers : public QWidget {
    Q_OBJECT
public:
    explicit SidebarOffers(SidebarOffersState& state, QWidget* parent = nullptr);

    // Named "sidebar.offers"; hidden, taking no room, while the list is empty.
    QAbstractButton* entry() const { return m_entry; }
    // Named "Загрузка предложений"; shown in place of the chevron while loading.
    QWidget* spinner() const { return m_spinner; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void sync();

    SidebarOffersState& m_state;
    QAbstractButton* m_entry = nullptr;
    QWidget* m_spinner = nullptr;
    bool m_shownOnce = false;
};

} // namespace tevro
