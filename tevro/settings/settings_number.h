#pragma once

// Free entry of a whole number: a right-aligned 94-wide field and, after it,
// a 44-wide unit label that reads "∞" for 0 when the value means a limit.
// Typing changes only the text; Return or leaving the field writes the value
// when the text parses as an integer in the current locale, else the field
// shows the stored value again. The control sets no bounds of its own.

#include <cstdint>
#include <functional>

#include <QWidget>

class QLabel;
class QLineEdit;

namespace tevro {

class SettingsNumber : public QWidget {
    Q_OBJECT
public:
    SettingsNumber(const QString& title, std::function<std::int64_t()> get,
                   std::function<void(std::int64_t)> set, const QString& unit, bool unlimited,
                   QWidget* parent = nullptr);

    QLineEdit* field() const { return m_field; }
    // Null when there is no unit slot.
    QLabel* unitLabel() const { return m_unit; }
    // Shows the bound value again (unless the user is typing in the field).
    void sync();

    // The value as the field shows it, without group separators.
    static QString format(std::int64_t value);
    static std::optional<std::int64_t> parse(const QString& text);

private:
    void commit();

    std::function<std::int64_t()> m_get;
    std::function<void(std::int64_t)> m_set;
    QString m_unitText;
    bool m_unlimited;
    QLineEdit* m_field;
    QLabel* m_unit = nullptr;
};

} // namespace tevro
