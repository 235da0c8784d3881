#include "tevro/settings/settings_row.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include "tevro/library/library_style.h"
#include "tevro/settings/settings_style.h"

namespace tevro {

SettingsRow::SettingsRow(const QString& title, QWidget* content, QWidget* parent)
    : QWidget(parent), m_content(content) {
    setObjectName(QStringLiteral("row:") + title);
    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(SettingsStyle::kRowInsetX, SettingsStyle::kRowInsetY,
                             SettingsStyle::kRowInsetX, SettingsStyle::kRowInsetY);
    line->setSpacing(16);
    m_title = new QLabel(title, this);
    m_title->setWordWrap(true);
    m_title->setFont(LibraryStyle::font(12));
    m_title->setMinimumHeight(SettingsStyle::kRowMinHeight);
    m_title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    line->addWidget(m_title, 1);
    line->addWidget(content, 0, Qt::AlignVCenter);
    setMinimumHeight(SettingsStyle::kRowMinHeight + 2 * SettingsStyle::kRowInsetY);
}

SettingsDivider::SettingsDivider(QWidget* parent) : QWidget(parent) {
    setFixedHeight(1);
}

void SettingsDivider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(QRect(SettingsStyle::kRowInsetX, 0, width() - 2 * SettingsStyle::kRowInsetX, 1),
               LibraryStyle::line());
}

} // namespace tevro
