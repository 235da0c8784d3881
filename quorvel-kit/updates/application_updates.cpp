#include "quorvel-kit/updates/application_updates.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QWidget>

#include "quorvel-kit/updates/storefront_update_backend.h"
#include "quorvel-kit/updates/update_text.h"
#include "quorvel-kit/updates/update_view.h"

namespace quorvel {

namespace {

// "arrow.down.circle.fill": a filled disc with a downward arrow cut out of it.
QIcon downloadSymbol(const QColor& color) {
    QIcon icon;
    for (int size : {16, 32, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const double s = size;
        QPainterPath disc;
        disc.addEllipse(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88));
        QPainterPath arrow;
        arrow.addRect(QRectF(s * 0.44, s * 0.24, s * 0.12, s * 0.34));
        QPolygonF head;
        head << QPointF(s * 0.28, s * 0.50) << QPointF(s * 0.72, s * 0.50)
             << QPointF(s * 0.50, s * 0.76);
        arrow.addPolygon(head);
        arrow.closeSubpath();
        painter.fillPath(disc.subtracted(arrow.simplified()), color);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

ApplicationUpdates::ApplicationUpdates(std::shared_ptr<UpdateBackend> backend, Language language,
                                       AppBundle host, QObject* parent)
    : QObject(parent), m_language(std::move(language)), m_host(std::move(host)) {
    m_model = new QuorvelUpdates(std::move(backend), UserDefaults::standard(), this);
    QPointer<ApplicationUpdates> self(this);
    m_model->onUpdateAvailable = [self](const UpdateRelease& release) {
        if (self)
            self->postNotice(release);
    };
    connect(m_model, &QuorvelUpdates::snapshotChanged, this, &ApplicationUpdates::refreshMenuItems);
    refreshMenuItems();
}

ApplicationUpdates::~ApplicationUpdates() {
    delete m_window;
}

std::unique_ptr<ApplicationUpdates> ApplicationUpdates::appStore(AppBundle bundle,
                                                                 Language language) {
    auto backend = std::make_shared<StorefrontUpdateBackend>(bundle, UserDefaults::standard());
    return std::make_unique<ApplicationUpdates>(std::move(backend), std::move(language));
}

QString ApplicationUpdates::text(int key) const {
    return UpdateText::string(static_cast<UpdateText::Key>(key),
                              m_language ? m_language() : std::nullopt);
}

void ApplicationUpdates::start() {
    m_model->start();
}

QAction* ApplicationUpdates::menuItem(QObject* parent) {
    auto* item = new QAction(text(int(UpdateText::Key::check)), parent);
    item->setObjectName("quorvel.updates");
    connect(item, &QAction::triggered, this, &ApplicationUpdates::showUpdates);
    m_menuItems.emplace_back(item);
    refresh(item);
    return item;
}

void ApplicationUpdates::refreshMenuItems() {
    // Items freed by their menus drop out here.
    std::erase_if(m_menuItems, [](const QPointer<QAction>& item) { return item.isNull(); });
    for (const QPointer<QAction>& item : m_menuItems)
        refresh(item);
}

void ApplicationUpdates::refresh(QAction* item) {
    const auto kind = m_model->snapshot().phase.kind();
    if (kind == UpdatePhase::Kind::available || kind == UpdatePhase::Kind::readyToInstall) {
        item->setText(text(int(UpdateText::Key::available)));
        const QColor color = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                 ? QGuiApplication::palette().color(QPalette::WindowText)
                                 : QColor(Qt::white);
        item->setIcon(downloadSymbol(color));
    } else {
        item->setText(text(int(UpdateText::Key::check)));
        item->setIcon(QIcon());
    }
}

void ApplicationUpdates::showUpdates() {
    start();
    if (m_model->started() && m_model->snapshot().actions.contains(UpdateAction::check))
        m_model->backend().perform(UpdateAction::check);
    if (!m_window) {
        auto* window =
            new QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                     Qt::WindowMinimizeButtonHint);
        window->setObjectName("quorvel.updates.window");
        window->setWindowTitle(text(int(UpdateText::Key::title)));
        window->setMinimumSize(360, 380);
        window->setFixedSize(440, 540);
        auto* scroll = new QScrollArea(window);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(new UpdateView(m_model, m_language ? m_language() : std::nullopt,
                                         m_buttonLook, m_host));
        scroll->setGeometry(0, 0, 440, 540);
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            window->move(area.center() - QPoint(220, 270));
        }
        m_window = window;
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void ApplicationUpdates::setButtonLook(UpdateView::ButtonLook look) {
    m_buttonLook = std::move(look);
}

void ApplicationUpdates::postNotice(const UpdateRelease& release) {
    // Never asked for here: the update view's notify button asks.
    if (!m_host.isApplication() || !DesktopNotices::authorized())
        return;
    m_notices.post("quorvel.update." + std::string(rawValue(release.source)),
                   text(int(UpdateText::Key::available)), QString::fromStdString(release.version));
}

} // namespace quorvel
