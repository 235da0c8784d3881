#include "tevro/settings/settings_group.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "tevro/library/library_style.h"
#include "tevro/settings/settings_style.h"

namespace tevro {

namespace {

class Card : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        SettingsStyle::roundedBox(p, QRectF(rect()), 12, LibraryStyle::surface(),
                                  LibraryStyle::line(), 1);
    }
};

} // namespace

SettingsGroup::SettingsGroup(const QString& title, QWidget* parent)
    : QWidget(parent), m_title(title) {
    setObjectName(QStringLiteral("group:") + title);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    auto* heading = new QLabel(title.toUpper(), this);
    QFont font = LibraryStyle::font(10, QFont::Medium);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    heading->setFont(font);
    QPalette pal = heading->palette();
    pal.setColor(QPalette::WindowText, LibraryStyle::muted());
    heading->setPalette(pal);
    heading->setContentsMargins(2, 0, 0, 0);
    heading->setAccessibleName(title);
    column->addWidget(heading);

    m_card = new Card(this);
    m_rows = new QVBoxLayout(m_card);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(0);
    column->addWidget(m_card);
}

void SettingsGroup::add(QWidget* row) {
    row->setParent(m_card);
    m_rows->addWidget(row);
}

} // namespace tevro
