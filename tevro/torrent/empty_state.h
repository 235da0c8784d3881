#pragma once

// A centred "nothing here" symbol and title laid over another widget (a
// table's viewport), leaving what is beneath visible (the column headers stay).

#include <string>
#include <string_view>

#include <QLabel>

namespace tevro {

class EmptyState : public QLabel {
    Q_OBJECT
public:
    EmptyState(const QString& title, const QString& description, std::string_view symbol,
               QWidget* over);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void place();

    std::string m_symbol;
};

} // namespace tevro
