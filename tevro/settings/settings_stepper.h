#pragma once

// A whole number inside a closed range, changed one step at a time: minus,
// the value, plus, 100 x 32 in a framed box. A button at its bound is
// disabled and drawn at 0.35 opacity, so the value never leaves the range
// through the buttons (a stored value outside it is shown as it is).

#include <cstdint>
#include <functional>

#include <QWidget>

class QLabel;
class QPushButton;

namespace tevro {

class SettingsStepper : public QWidget {
    Q_OBJECT
public:
    SettingsStepper(const QString& title, std::function<std::int64_t()> get,
                    std::function<void(std::int64_t)> set, std::int64_t lower, std::int64_t upper,
                    QWidget* parent = nullptr);

    QPushButton* minus() const { return m_minus; }
    QPushButton* plus() const { return m_plus; }
    QLabel* valueLabel() const { return m_value; }
    void sync();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<std::int64_t()> m_get;
    std::function<void(std::int64_t)> m_set;
    std::int64_t m_lower;
    std::int64_t m_upper;
    QPushButton* m_minus;
    QLabel* m_value;
    QPushButton* m_plus;
};

} // namespace tevro
