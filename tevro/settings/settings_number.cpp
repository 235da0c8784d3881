#include "tevro/settings/settings_number.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

#include "tevro/library/library_style.h"
#include "tevro/settings/settings_style.h"

namespace tevro {

namespace {

QLocale numberLocale() {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

} // namespace

SettingsNumber::SettingsNumber(const QString& title, std::function<std::int64_t()> get,
                               std::function<void(std::int64_t)> set, const QString& unit,
                               bool unlimited, QWidget* parent)
    : QWidget(parent), m_get(std::move(get)), m_set(std::move(set)), m_unitText(unit),
      m_unlimited(unlimited) {
    setObjectName(QStringLiteral("number:") + title);
    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(8);
    m_field = new QLineEdit(this);
    m_field->setAccessibleName(title);
    m_field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SettingsStyle::applyField(m_field);
    m_field->setFixedWidth(94);
    line->addWidget(m_field);
    if (!unit.isEmpty() || unlimited) {
        m_unit = new QLabel(this);
        m_unit->setFixedWidth(44);
        m_unit->setFont(LibraryStyle::font(12));
        QPalette pal = m_unit->palette();
        pal.setColor(QPalette::WindowText, LibraryStyle::muted());
        m_unit->setPalette(pal);
        m_unit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        line->addWidget(m_unit);
    }
    connect(m_field, &QLineEdit::editingFinished, this, &SettingsNumber::commit);
    sync();
}

QString SettingsNumber::format(std::int64_t value) {
    return numberLocale().toString(qlonglong(value));
}

std::optional<std::int64_t> SettingsNumber::parse(const QString& text) {
    bool ok = false;
    qlonglong v = QLocale().toLongLong(text.trimmed(), &ok);
    if (!ok)
        return std::nullopt;
    return std::int64_t(v);
}

void SettingsNumber::commit() {
    if (auto value = parse(m_field->text()))
        m_set(*value);
    m_field->setModified(false);
    // The stored value may differ from the text (a bound that clamps, or
    // text that did not parse).
    sync();
}

void SettingsNumber::sync() {
    std::int64_t value = m_get();
    if (!(m_field->hasFocus() && m_field->isModified())) {
        QString text = format(value);
        if (m_field->text() != text)
            m_field->setText(text);
    }
    if (m_unit) {
        bool infinite = m_unlimited && value == 0;
        m_unit->setText(infinite ? QStringLiteral("∞") : m_unitText);
        m_unit->setAccessibleName(infinite ? QStringLiteral("Без ограничений") : m_unitText);
    }
}

} // namespace tevro
