#include "tevro/settings/settings_choice.h"

#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"

namespace tevro {

namespace {

class ChoiceRow : public SettingsNavigationButton {
public:
    ChoiceRow(const QString& text, bool selected, QWidget* parent)
        : SettingsNavigationButton(parent), m_selected(selected) {
        setText(text);
        setAccessibleName(text);
        setObjectName(QStringLiteral("option:") + text);
        setCheckable(true);
        setChecked(selected);
        setFixedHeight(34);
        setMinimumWidth(204);
        setFont(LibraryStyle::font(12));
    }
    bool selected() const { return m_selected; }

protected:
    void paintBackground(QPainter& p) override {
        if (m_selected)
            SettingsStyle::roundedBox(p, QRectF(rect()), 7,
                                      SettingsStyle::withAlpha(LibraryStyle::accent(), 0.1),
                                      Qt::transparent, 0);
    }
    void paintLabel(QPainter& p) override {
        QColor color = m_selected ? LibraryStyle::accent() : LibraryStyle::text();
        QRectF box = QRectF(rect()).adjusted(12, 0, -12, 0);
        p.setPen(color);
        p.setFont(font());
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text());
        if (m_selected) {
            QRectF mark(box.right() - 12, box.center().y() - 6, 12, 12);
            Symbols::paint(p, mark, "checkmark", color);
        }
    }

private:
    bool m_selected;
};

class ChoicePopup : public QWidget {
public:
    explicit ChoicePopup(QWidget* parent) : QWidget(parent, Qt::Popup) {
        setAttribute(Qt::WA_DeleteOnClose);
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, LibraryStyle::sidebar());
        setPalette(pal);
    }
};

} // namespace

SettingsChoice::SettingsChoice(const QString& title, QStringList labels, std::function<int()> get,
                               std::function<void(int)> set, QWidget* parent)
    : SettingsActionButton(QString(), parent), m_labels(std::move(labels)), m_get(std::move(get)),
      m_set(std::move(set)) {
    setObjectName(QStringLiteral("choice:") + title);
    setAccessibleName(title);
    setFixedWidth(240);
    connect(this, &QPushButton::clicked, this, &SettingsChoice::toggle);
    sync();
}

QSize SettingsChoice::sizeHint() const {
    return {240, SettingsStyle::kFieldHeight};
}

void SettingsChoice::sync() {
    int index = m_get();
    QString text = index >= 0 && index < m_labels.size() ? m_labels[index] : QString();
    if (this->text() != text) {
        setText(text);
        setAccessibleDescription(text);
        update();
    }
}

void SettingsChoice::paintLabel(QPainter& painter, const QRectF& rect, const QColor& color) {
    painter.setPen(color);
    painter.setFont(font());
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, text());
    QRectF chevron(rect.right() - 9, rect.center().y() - 4.5, 9, 9);
    Symbols::paint(painter, chevron, "chevron.down", LibraryStyle::muted());
}

void SettingsChoice::toggle() {
    if (m_popup) {
        m_popup->close();
        return;
    }
    auto* popup = new ChoicePopup(this);
    popup->setObjectName(QStringLiteral("choice-list:") + accessibleName());
    auto* column = new QVBoxLayout(popup);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(4);
    int selected = m_get();
    for (int i = 0; i < m_labels.size(); ++i) {
        auto* row = new ChoiceRow(m_labels[i], i == selected, popup);
        connect(row, &QPushButton::clicked, this, [this, i] { pick(i); });
        column->addWidget(row);
    }
    popup->setMinimumWidth(220);
    popup->adjustSize();
    QPoint below = mapToGlobal(QPoint(0, height() + 4));
    popup->move(below);
    m_popup = popup;
    popup->show();
}

void SettingsChoice::pick(int index) {
    if (index >= 0 && index < m_labels.size())
        m_set(index);
    if (m_popup)
        m_popup->close();
    sync();
}

} // namespace tevro
