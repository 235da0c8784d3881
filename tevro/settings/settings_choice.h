#pragma once

// One value out of a fixed list: a 240-wide framed button showing the
// current value and a chevron; a click opens a pop-up list below it, one row
// per value with a check mark on the selected one. Picking a row writes the
// value and closes the list.

#include <functional>

#include <QPointer>
#include <QStringList>

#include "tevro/settings/settings_style.h"

namespace tevro {

class SettingsChoice : public SettingsActionButton {
    Q_OBJECT
public:
    // `labels` are the display texts of the values, in order; `get` and `set`
    // read and write the index of the selected one.
    SettingsChoice(const QString& title, QStringList labels, std::function<int()> get,
                   std::function<void(int)> set, QWidget* parent = nullptr);

    const QStringList& labels() const { return m_labels; }
    // The open list, or null while closed.
    QWidget* popup() const { return m_popup; }
    bool expanded() const { return m_popup != nullptr; }
    void sync();
    // Picks the value at `index` as a click on its row does.
    void pick(int index);

    QSize sizeHint() const override;

protected:
    void paintLabel(QPainter& painter, const QRectF& rect, const QColor& color) override;

private:
    void toggle();

    QStringList m_labels;
    std::function<int()> m_get;
    std::function<void(int)> m_set;
    QPointer<QWidget> m_popup;
};

} // namespace tevro
