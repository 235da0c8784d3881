#include "quorvel-kit/updates/update_view.h"

#include <algorithm>
#include <limits>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "quorvel-kit/updates/desktop_notices.h"

namespace quorvel {

namespace {

constexpr int kSpacing = 18;
constexpr int kPadding = 24;
constexpr int kNotesHeight = 180;
constexpr int kProgressSteps = 1000;

QFont sized(const QFont& base, int pixels, QFont::Weight weight) {
    QFont font = base;
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

// Lays the action buttons out in a row that wraps onto the next line when
// their texts do not fit the column's width.
class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget* parent) : QLayout(parent) { setContentsMargins(0, 0, 0, 0); }
    ~FlowLayout() override {
        while (QLayoutItem* item = takeAt(0))
            delete item;
    }

    void addItem(QLayoutItem* item) override { m_items.append(item); }
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem* takeAt(int index) override {
        return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
    }
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    void setGeometry(const QRect& rect) override {
        QLayout::setGeometry(rect);
        arrange(rect, true);
    }
    QSize sizeHint() const override { return minimumSize(); }
    QSize minimumSize() const override {
        QSize size;
        for (QLayoutItem* item : m_items) {
            if (!item->isEmpty())
                size = size.expandedTo(item->minimumSize());
        }
        return size;
    }

private:
    int arrange(const QRect& rect, bool place) const {
        int x = rect.x();
        int y = rect.y();
        int lineHeight = 0;
        const int gap = spacing() < 0 ? 8 : spacing();
        for (QLayoutItem* item : m_items) {
            if (item->isEmpty()) // a hidden button takes no place
                continue;
            const QSize size = item->sizeHint();
            if (x > rect.x() && x + size.width() > rect.right() + 1) {
                x = rect.x();
                y += lineHeight + gap;
                lineHeight = 0;
            }
            if (place) {
                const QRect spot(QPoint(x, y), size);
                item->setGeometry(
                    QStyle::visualRect(parentWidget()->layoutDirection(), rect, spot));
            }
            x += size.width() + gap;
            lineHeight = std::max(lineHeight, size.height());
        }
        return y + lineHeight - rect.y();
    }

    QList<QLayoutItem*> m_items;
};

} // namespace

const std::array<UpdateAction, 9>& UpdateView::buttonOrder() {
    static const std::array<UpdateAction, 9> order = {
        UpdateAction::download,
        UpdateAction::installAndRelaunch,
        UpdateAction::retryTermination,
        UpdateAction::openAppStore,
        UpdateAction::check,
        UpdateAction::later,
        UpdateAction::skip,
        UpdateAction::cancel,
        UpdateAction::acknowledge,
    };
    return order;
}

UpdateText::Key UpdateView::statusKey(const UpdatePhase& phase) {
    using Kind = UpdatePhase::Kind;
    switch (phase.kind()) {
    case Kind::idle:
        return UpdateText::Key::title;
    case Kind::checking:
        return UpdateText::Key::checking;
    case Kind::upToDate:
        return UpdateText::Key::current;
    case Kind::available:
    case Kind::readyToInstall:
        return UpdateText::Key::available;
    case Kind::downloading:
        return UpdateText::Key::download;
    case Kind::extracting:
        return UpdateText::Key::preparing;
    case Kind::installing:
        return UpdateText::Key::installing;
    case Kind::installed:
        return UpdateText::Key::done;
    case Kind::failed:
        switch (phase.failure()) {
        case UpdateFailure::configuration:
        case UpdateFailure::unavailableInStorefront:
        case UpdateFailure::requiresNewerOS:
        case UpdateFailure::unsupportedUpdate:
            return UpdateText::Key::unavailable;
        case UpdateFailure::verification:
            return UpdateText::Key::verification;
        default:
            return UpdateText::Key::failed;
        }
    }
    return UpdateText::Key::title;
}

UpdateText::Key UpdateView::buttonKey(UpdateAction action) {
    switch (action) {
    case UpdateAction::check:
        return UpdateText::Key::check;
    case UpdateAction::cancel:
        return UpdateText::Key::cancel;
    case UpdateAction::download:
        return UpdateText::Key::download;
    case UpdateAction::installAndRelaunch:
    case UpdateAction::retryTermination:
        return UpdateText::Key::install;
    case UpdateAction::later:
        return UpdateText::Key::later;
    case UpdateAction::skip:
        return UpdateText::Key::skip;
    case UpdateAction::openAppStore:
        return UpdateText::Key::store;
    case UpdateAction::acknowledge:
        return UpdateText::Key::done;
    }
    return UpdateText::Key::done;
}

UpdateView::UpdateView(QuorvelUpdates* model, std::optional<std::string> language, ButtonLook look,
                       AppBundle host, QWidget* parent)
    : QWidget(parent), m_model(model), m_language(std::move(language)), m_host(std::move(host)) {
    const std::string direction = m_language ? *m_language : [] {
        const auto preferred = UpdateText::preferredLocalizations();
        return preferred.empty() ? std::string("en") : preferred.front();
    }();
    setLayoutDirection(UpdateText::isRightToLeft(direction) ? Qt::RightToLeft : Qt::LeftToRight);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(kSpacing);
    column->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column->setAlignment(Qt::AlignTop | Qt::AlignLeading);

    auto* title = new QLabel(text(UpdateText::Key::title), this);
    title->setFont(sized(font(), 22, QFont::Bold));
    title->setAccessibleName(title->text());
    column->addWidget(title);

    m_status = new QLabel(this);
    m_status->setObjectName("updates.status");
    m_status->setFont(sized(font(), 15, QFont::DemiBold));
    m_status->setWordWrap(true);
    column->addWidget(m_status);

    m_version = new QLabel(this);
    m_version->setFont(sized(font(), 20, QFont::Normal));
    m_version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A version number has no direction of its own: keep it on the leading side.
    m_version->setAlignment(
        Qt::AlignAbsolute | Qt::AlignVCenter |
        (layoutDirection() == Qt::RightToLeft ? Qt::AlignRight : Qt::AlignLeft));
    column->addWidget(m_version);

    m_notes = new QPlainTextEdit(this);
    m_notes->setReadOnly(true);
    m_notes->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_notes->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_notes->setMaximumHeight(kNotesHeight);
    m_notes->setFrameShape(QFrame::NoFrame);
    column->addWidget(m_notes);

    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    column->addWidget(m_progress);

    m_received = new QLabel(this);
    column->addWidget(m_received);

    m_automatic = new QCheckBox(text(UpdateText::Key::automatic), this);
    m_automatic->setObjectName("updates.automatic");
    m_automatic->setAccessibleName(m_automatic->text());
    connect(m_automatic, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_model)
            return;
        m_model->setAutomaticChecks(on);
        // A backend may keep its own value; show what it holds.
        const QSignalBlocker block(m_automatic);
        m_automatic->setChecked(m_model->automaticallyChecksForUpdates());
    });
    column->addWidget(m_automatic, 0, Qt::AlignLeading);

    m_notify = new QPushButton(text(UpdateText::Key::notify), this);
    m_notify->setObjectName("updates.notify");
    m_notify->setAccessibleName(m_notify->text());
    m_notify->setAutoDefault(false);
    // Notices of new releases are shown once the user asked for them here;
    // a program that is not an installed copy posts none and asks nothing.
    connect(m_notify, &QPushButton::clicked, this, [this] {
        if (m_host.isApplication())
            DesktopNotices::requestAuthorization();
    });
    if (look)
        look(m_notify);
    column->addWidget(m_notify, 0, Qt::AlignLeading);

    m_buttons = new QWidget(this);
    auto* row = new FlowLayout(m_buttons);
    row->setSpacing(8);
    for (std::size_t i = 0; i < buttonOrder().size(); ++i) {
        const UpdateAction action = buttonOrder()[i];
        auto* button = new QPushButton(text(buttonKey(action)), m_buttons);
        button->setObjectName(
            QString::fromLatin1("updates.") +
            QString::fromLatin1(rawValue(action).data(), qsizetype(rawValue(action).size())));
        button->setAccessibleName(button->text());
        button->setAutoDefault(false);
        button->hide();
        connect(button, &QPushButton::clicked, this, [this, action] {
            if (m_model)
                m_model->perform(action); // allowed only if still started and offered
        });
        if (look)
            look(button);
        row->addWidget(button);
        m_actionButtons[i] = button;
    }
    column->addWidget(m_buttons);
    column->addStretch(1);

    if (m_model) {
        connect(m_model, &QuorvelUpdates::snapshotChanged, this, &UpdateView::refresh);
        connect(m_model, &QuorvelUpdates::automaticChecksChanged, this, &UpdateView::refresh);
    }
    refresh();
}

QString UpdateView::text(UpdateText::Key key) const {
    return UpdateText::string(key, m_language);
}

void UpdateView::refresh() {
    if (!m_model)
        return;
    const UpdateSnapshot& snapshot = m_model->snapshot();
    const UpdatePhase& phase = snapshot.phase;
    using Kind = UpdatePhase::Kind;

    m_status->setText(text(statusKey(phase)));
    m_status->setAccessibleName(m_status->text());

    const auto& release = phase.release();
    const bool offered =
        (phase.kind() == Kind::available || phase.kind() == Kind::readyToInstall) &&
        release.has_value();
    m_version->setVisible(offered);
    m_notes->setVisible(offered && release->releaseNotes && !release->releaseNotes->empty());
    if (offered) {
        m_version->setText(QString::fromStdString(release->version));
        m_version->setAccessibleName(m_version->text());
        const QString notes = QString::fromStdString(release->releaseNotes.value_or(""));
        if (m_notes->toPlainText() != notes)
            m_notes->setPlainText(notes);
    }

    m_received->setVisible(phase.kind() == Kind::downloading);
    switch (phase.kind()) {
    case Kind::downloading: {
        m_progress->setVisible(true);
        const auto total = phase.total();
        if (total && *total > 0) {
            const double share = double(std::min(phase.received(), *total)) / double(*total);
            m_progress->setRange(0, kProgressSteps);
            m_progress->setValue(static_cast<int>(share * kProgressSteps));
        } else {
            m_progress->setRange(0, 0);
        }
        const auto shown =
            std::min<std::uint64_t>(phase.received(), std::numeric_limits<std::int64_t>::max());
        const QLocale locale(QString::fromStdString(m_language.value_or("en")));
        m_received->setText(
            locale.formattedDataSize(static_cast<qint64>(shown), 1, QLocale::DataSizeSIFormat));
        break;
    }
    case Kind::extracting:
        m_progress->setVisible(true);
        if (phase.progress()) {
            m_progress->setRange(0, kProgressSteps);
            m_progress->setValue(static_cast<int>(*phase.progress() * kProgressSteps));
        } else {
            m_progress->setRange(0, 0);
        }
        break;
    case Kind::checking:
    case Kind::installing:
        m_progress->setVisible(true);
        m_progress->setRange(0, 0);
        break;
    default:
        m_progress->setVisible(false);
        break;
    }

    const QSignalBlocker block(m_automatic);
    m_automatic->setChecked(m_model->automaticallyChecksForUpdates());

    for (std::size_t i = 0; i < buttonOrder().size(); ++i)
        m_actionButtons[i]->setVisible(snapshot.actions.contains(buttonOrder()[i]));
    m_buttons->updateGeometry();
}

} // namespace quorvel
