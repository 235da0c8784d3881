#pragma once

// A text tab: white with an accent bar under the label when current, muted
// otherwise. Used by the detail pane's tabs and the contents page's switch.

#include <QAbstractButton>

namespace tevro {

class TabButton : public QAbstractButton {
    Q_OBJECT
public:
    TabButton(const QString& text, qreal pixelSize, int height, int barGap,
              QWidget* parent = nullptr);

    void setCurrent(bool current);
    bool isCurrent() const { return m_current; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_current = false;
    int m_height;
    int m_barGap;
};

} // namespace tevro
