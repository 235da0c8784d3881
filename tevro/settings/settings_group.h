#pragma once

// A titled card of settings: the title in small capitals above a black card
// with a hairline outline that stacks its rows without spacing.

#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace tevro {

class SettingsGroup : public QWidget {
    Q_OBJECT
public:
    explicit SettingsGroup(const QString& title, QWidget* parent = nullptr);

    const QString& title() const { return m_title; }
    // Appends a row, a divider or a block to the card.
    void add(QWidget* row);
    QWidget* card() const { return m_card; }

private:
    QString m_title;
    QWidget* m_card;
    QVBoxLayout* m_rows;
};

} // namespace tevro
