#pragma once

// One line of read-only text that the user can select and copy, cut in the
// middle while it does not fit and shown whole while it has the focus or a
// selection. Never asks for more width than it is given.

#include <QLineEdit>

namespace tevro {

class SelectableElidedLabel : public QLineEdit {
    Q_OBJECT
public:
    explicit SelectableElidedLabel(QWidget* parent = nullptr);

    // Changes the text only when it differs, so a selection survives updates.
    void setShownText(const QString& text);
    // The text as painted now ("/home/…/Tevro" while cut).
    QString paintedText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect textRect() const;
    bool showsWhole() const;
};

} // namespace tevro
