#pragma once

// A centred "nothing here" title laid over another widget (a table's viewport),
// leaving what is beneath visible (the column headers stay).

#include <QLabel>

namespace tevro {

class EmptyState : public QLabel {
    Q_OBJECT
public:
    EmptyState(const QString& title, const QString& description, QWidget* over);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
};

} // namespace tevro
