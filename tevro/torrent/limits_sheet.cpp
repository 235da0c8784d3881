#include "tevro/torrent/limits_sheet.h"

#include <climits>

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>

#include "tevro/bridge/torrent_bridge.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/torrent/clamped_label.h"
#include "tevro/torrent/sheet_parts.h"

namespace tevro {

namespace {

// The bridge's count for "no limit" on connections and upload slots.
constexpr std::int64_t kUnlimitedCount = 16777215;

// A field the user empties means 0 (no limit), not the last number it held.
class LimitField : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    void fixup(QString& input) const override {
        if (input.trimmed().isEmpty())
            input = QStringLiteral("0");
        else
            QSpinBox::fixup(input);
    }
};

QSpinBox* field(int maximum, const QString& label) {
    auto* s = new LimitField;
    // Values that do not fit the session's 32-bit arguments cannot be typed.
    s->setRange(0, maximum);
    s->setAccessibleName(label);
    s->setButtonSymbols(QAbstractSpinBox::NoButtons);
    s->setAlignment(Qt::AlignRight);
    s->setMinimumWidth(140);
    return s;
}

int count(std::int64_t limit) {
    return limit >= kUnlimitedCount ? 0 : static_cast<int>(std::max<std::int64_t>(0, limit));
}

} // namespace

LimitsSheet::LimitsSheet(TorrentEngine& engine, const QString& torrentID, QWidget* parent)
    : QDialog(parent), m_engine(engine), m_torrentID(torrentID) {
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Ограничения"));
    setFixedWidth(420);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(20, 20, 20, 20);
    v->setSpacing(14);
    m_title = new ClampedLabel(2);
    SheetParts::makeTitle(m_title);
    v->addWidget(m_title);
    auto* form = new QFormLayout;
    const QString labels[] = {
        QStringLiteral("Загрузка, КиБ/с (0 = ∞)"), QStringLiteral("Отдача, КиБ/с (0 = ∞)"),
        QStringLiteral("Соединений (0 = ∞)"), QStringLiteral("Слотов отдачи (0 = ∞)")};
    m_download = field(kMaxRate, labels[0]);
    m_upload = field(kMaxRate, labels[1]);
    m_connections = field(INT_MAX, labels[2]);
    m_uploads = field(INT_MAX, labels[3]);
    form->addRow(labels[0], m_download);
    form->addRow(labels[1], m_upload);
    form->addRow(labels[2], m_connections);
    form->addRow(labels[3], m_uploads);
    v->addLayout(form);
    auto* row = new QHBoxLayout;
    row->addStretch();
    QPushButton* ok = SheetParts::addButtons(row, this, QStringLiteral("Применить"));
    connect(ok, &QPushButton::clicked, this, [this] { apply(); });
    v->addLayout(row);
}

void LimitsSheet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Filled when opened; a restored window shows it again with what was typed.
    if (event->spontaneous())
        return;
    auto t = m_engine.torrent(m_torrentID.toStdString());
    m_title->setText(t ? QString::fromStdString(t->name) : QString());
    if (!t)
        return;
    setValues(static_cast<int>(std::min<std::int64_t>(
                  std::max<std::int64_t>(0, t->downloadLimit) / 1024, kMaxRate)),
              static_cast<int>(std::min<std::int64_t>(
                  std::max<std::int64_t>(0, t->uploadLimit) / 1024, kMaxRate)),
              count(t->connectionsLimit), count(t->uploadsLimit));
}

namespace {

// The value the field's text stands for now, also while it is being edited.
int typed(QSpinBox* field) {
    field->interpretText();
    return field->value();
}

} // namespace

int LimitsSheet::download() const {
    return typed(m_download);
}
int LimitsSheet::upload() const {
    return typed(m_upload);
}
int LimitsSheet::connections() const {
    return typed(m_connections);
}
int LimitsSheet::uploads() const {
    return typed(m_uploads);
}

void LimitsSheet::setValues(int download, int upload, int connections, int uploads) {
    m_download->setValue(download);
    m_upload->setValue(upload);
    m_connections->setValue(connections);
    m_uploads->setValue(uploads);
}

void LimitsSheet::apply() {
    tb_set_limits(m_engine.session(), m_torrentID.toUtf8().constData(), download() * 1024,
                  upload() * 1024, connections(), uploads());
    m_engine.poll();
    accept();
}

} // namespace tevro
