#include "tevro/settings/settings_page_widget.h"

#include <limits>

#include <QLineEdit>
#include <QVBoxLayout>

#include "tevro/engine/torrent_engine.h"
#include "tevro/settings/settings_choice.h"
#include "tevro/settings/settings_group.h"
#include "tevro/settings/settings_number.h"
#include "tevro/settings/settings_row.h"
#include "tevro/settings/settings_stepper.h"
#include "tevro/settings/settings_style.h"
#include "tevro/settings/settings_switch.h"

namespace tevro {

namespace {
// The session holds rates in bytes/s in a 32-bit integer.
constexpr std::int64_t kMaxRateKiB = std::numeric_limits<std::int32_t>::max() / 1024;
} // namespace

SettingsPageWidget::SettingsPageWidget(TorrentEngine& engine, QWidget* parent)
    : QWidget(parent), m_engine(engine) {
    m_column = new QVBoxLayout(this);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(22);
    connect(&engine, &TorrentEngine::settingsChanged, this, &SettingsPageWidget::sync);
}

void SettingsPageWidget::sync() {
    for (auto& s : m_syncs)
        s();
}

void SettingsPageWidget::onSync(std::function<void()> sync) {
    sync();
    m_syncs.push_back(std::move(sync));
}

bool SettingsPageWidget::write(const std::function<void(AppSettings&)>& edit) {
    AppSettings s = m_engine.settings();
    edit(s);
    if (auto error = s.validationError()) {
        m_engine.show(*error);
        sync();
        return false;
    }
    m_engine.setSettings(s);
    return true;
}

SettingsGroup* SettingsPageWidget::addGroup(const QString& title) {
    auto* group = new SettingsGroup(title, this);
    m_column->addWidget(group);
    return group;
}

SettingsSwitch* SettingsPageWidget::makeSwitch(const QString& title, bool AppSettings::*field) {
    auto* sw = new SettingsSwitch(title, getter(field), setter(field));
    m_syncs.push_back([sw] { sw->sync(); });
    return sw;
}

SettingsRow* SettingsPageWidget::numberRow(const QString& rowTitle, const QString& title,
                                           std::int64_t AppSettings::*field, const QString& unit,
                                           bool unlimited) {
    auto* number = new SettingsNumber(title, getter(field), setter(field), unit, unlimited);
    m_syncs.push_back([number] { number->sync(); });
    return new SettingsRow(rowTitle, number);
}

SettingsRow* SettingsPageWidget::rateRow(const QString& rowTitle, const QString& title,
                                         std::int64_t AppSettings::*field) {
    auto set = [this, field](std::int64_t value) {
        write([&](AppSettings& s) { s.*field = std::min(value, kMaxRateKiB); });
    };
    auto* number = new SettingsNumber(title, getter(field), set, QStringLiteral("КиБ/с"), true);
    m_syncs.push_back([number] { number->sync(); });
    return new SettingsRow(rowTitle, number);
}

SettingsRow* SettingsPageWidget::stepperRow(const QString& title, std::int64_t AppSettings::*field,
                                            std::int64_t lower, std::int64_t upper) {
    auto* stepper = new SettingsStepper(title, getter(field), setter(field), lower, upper);
    m_syncs.push_back([stepper] { stepper->sync(); });
    return new SettingsRow(title, stepper);
}

SettingsRow* SettingsPageWidget::choiceRowIndexed(const QString& rowTitle, const QString& title,
                                                  const QStringList& labels,
                                                  std::function<int()> get,
                                                  std::function<void(int)> set) {
    auto* choice = new SettingsChoice(title, labels, std::move(get), std::move(set));
    m_syncs.push_back([choice] { choice->sync(); });
    return new SettingsRow(rowTitle, choice);
}

QLineEdit* SettingsPageWidget::makeTextField(const QString& accessibleName,
                                             std::string AppSettings::*field, bool password) {
    auto* edit = new QLineEdit;
    edit->setObjectName(QStringLiteral("field:") + accessibleName);
    edit->setAccessibleName(accessibleName);
    if (password)
        edit->setEchoMode(QLineEdit::Password);
    SettingsStyle::applyField(edit);
    edit->setFixedWidth(240);
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
        std::string value = text.toStdString();
        write([&](AppSettings& s) { s.*field = value; });
    });
    onSync([this, edit, field] {
        QString stored = QString::fromStdString(m_engine.settings().*field);
        if (edit->text() != stored)
            edit->setText(stored);
    });
    return edit;
}

} // namespace tevro
