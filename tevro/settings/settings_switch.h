#pragma once

// A two-state setting drawn as one full-width row: the title on the left and
// a 38 x 22 capsule switch on the right. A click anywhere in the row flips
// the state; assistive tools see a check box with the title as its name.

#include <functional>

#include <QAbstractButton>

class QVariantAnimation;

namespace tevro {

class SettingsSwitch : public QAbstractButton {
    Q_OBJECT
public:
    // `get` reads the bound state, `set` writes it.
    SettingsSwitch(const QString& title, std::function<bool()> get, std::function<void(bool)> set,
                   QWidget* parent = nullptr);

    // Shows the bound state again.
    void sync();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF textRect(int width) const;
    // Moves the knob to the state: an ease-out over 0.12 s once shown.
    void moveKnob(bool on);
    std::function<bool()> m_get;
    std::function<void(bool)> m_set;
    QVariantAnimation* m_motion;
    qreal m_position = 0; // 0 off, 1 on; in between while moving
};

} // namespace tevro
