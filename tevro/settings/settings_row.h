#pragma once

// One line of a settings card: its title on the left (wrapping when narrow)
// and its control on the right; at least 52 high, inset 16 left and right
// and 2 at top and bottom.

#include <QWidget>

class QLabel;

namespace tevro {

class SettingsRow : public QWidget {
    Q_OBJECT
public:
    SettingsRow(const QString& title, QWidget* content, QWidget* parent = nullptr);

    QLabel* titleLabel() const { return m_title; }
    QWidget* content() const { return m_content; }

private:
    QLabel* m_title;
    QWidget* m_content;
};

// The hairline between two rows of a card, inset 16 either side.
class SettingsDivider : public QWidget {
    Q_OBJECT
public:
    explicit SettingsDivider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace tevro
