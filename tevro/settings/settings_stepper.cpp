#include "tevro/settings/settings_stepper.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"
#include "tevro/settings/settings_style.h"

namespace tevro {

namespace {

class StepButton : public QPushButton {
public:
    StepButton(const char* symbol, QWidget* parent) : QPushButton(parent), m_symbol(symbol) {
        setFixedSize(30, 32);
        setFlat(true);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setOpacity(isEnabled() ? 1.0 : 0.35);
        QRectF box(0, 0, 12, 12);
        box.moveCenter(QRectF(rect()).center());
        Symbols::paint(p, box, m_symbol, LibraryStyle::text());
    }

private:
    const char* m_symbol;
};

} // namespace

SettingsStepper::SettingsStepper(const QString& title, std::function<std::int64_t()> get,
                                 std::function<void(std::int64_t)> set, std::int64_t lower,
                                 std::int64_t upper, QWidget* parent)
    : QWidget(parent), m_get(std::move(get)), m_set(std::move(set)), m_lower(lower),
      m_upper(upper) {
    setObjectName(QStringLiteral("stepper:") + title);
    setFixedSize(100, 32);
    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(0);
    m_minus = new StepButton("minus", this);
    m_minus->setAccessibleName(title + QStringLiteral(": уменьшить"));
    m_value = new QLabel(this);
    m_value->setFixedWidth(40);
    m_value->setAlignment(Qt::AlignCenter);
    m_value->setFont(LibraryStyle::font(12));
    m_value->setAccessibleName(title);
    m_plus = new StepButton("plus", this);
    m_plus->setAccessibleName(title + QStringLiteral(": увеличить"));
    line->addWidget(m_minus);
    line->addWidget(m_value);
    line->addWidget(m_plus);
    connect(m_minus, &QPushButton::clicked, this, [this] {
        std::int64_t v = m_get();
        if (v > m_lower)
            m_set(std::max(v - 1, m_lower));
        sync();
    });
    connect(m_plus, &QPushButton::clicked, this, [this] {
        std::int64_t v = m_get();
        if (v < m_upper)
            m_set(std::min(v + 1, m_upper));
        sync();
    });
    sync();
}

void SettingsStepper::sync() {
    std::int64_t v = m_get();
    QString digits = QString::asprintf("%lld", static_cast<long long>(v));
    m_value->setText(digits);
    m_value->setAccessibleDescription(digits);
    m_minus->setEnabled(v > m_lower);
    m_plus->setEnabled(v < m_upper);
}

void SettingsStepper::paintEvent(QPaintEvent*) {
    QPainter p(this);
    SettingsStyle::roundedBox(p, QRectF(rect()), 8, LibraryStyle::background(),
                              LibraryStyle::line(), 1);
}

} // namespace tevro
