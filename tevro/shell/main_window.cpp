#include "tevro/shell/main_window.h"

#include <QApplication>
#include <QMenuBar>
#include <QMessageBox>

#include "tevro/engine/torrent_engine.h"
#include "tevro/shell/app_actions.h"
#include "tevro/shell/app_updates.h"
#include "tevro/shell/main_ui_state.h"
#include "tevro/shell/window_opener.h"

namespace tevro {

MainWindow::MainWindow(TorrentEngine& engine, MainUIState& ui, PlayerModel* player,
                       ArtworkStore* artwork, MainView::Parts parts, QWidget* parent)
    : QMainWindow(parent), m_engine(engine), m_ui(ui) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("Tevro"));
    resize(1280, 860);
    setMinimumSize(900, 560);
    m_view = new MainView(engine, ui, player, artwork, std::move(parts), this);
    setCentralWidget(m_view);
    buildMenus();
}

void MainWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* app = bar->addMenu(QStringLiteral("Tevro"));
    app->addAction(QStringLiteral("О программе Tevro"), this, [this] {
        QMessageBox::about(this, QStringLiteral("О программе Tevro"),
                           QStringLiteral("Tevro %1\nТоррент-клиент с видеоплеером и медиатекой.")
                               .arg(QApplication::applicationVersion()));
    });
    app->addAction(AppUpdates::controller().menuItem(app));
    app->addSeparator();
    app->addAction(QStringLiteral("Настройки…"), QKeySequence(Qt::CTRL | Qt::Key_Comma), this,
                   [] { WindowOpener::shared().open("settings"); });
    app->addSeparator();
    QAction* quit = app->addAction(QStringLiteral("Завершить Tevro"),
                                   QKeySequence(Qt::CTRL | Qt::Key_Q), qApp, &QApplication::quit);
    quit->setShortcutContext(Qt::ApplicationShortcut);

    QMenu* file = bar->addMenu(QStringLiteral("Файл"));
    file->addAction(QStringLiteral("Открыть торрент…"), QKeySequence(Qt::CTRL | Qt::Key_O), this,
                    [this] { m_view->openTorrentPanel(); });
    file->addAction(QStringLiteral("Magnet-ссылка…"),
                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), this,
                    [this] { AppActions::openMagnet(m_ui); });

    QMenu* torrents = bar->addMenu(QStringLiteral("Торренты"));
    auto selection = [this] {
        const auto& s = m_ui.selection();
        return std::vector<std::string>(s.begin(), s.end());
    };
    torrents->addAction(QStringLiteral("Возобновить"), QKeySequence(Qt::CTRL | Qt::Key_R), this,
                        [this, selection] { m_engine.resume(selection()); });
    torrents->addAction(QStringLiteral("Пауза"), QKeySequence(Qt::CTRL | Qt::Key_Period), this,
                        [this, selection] { m_engine.pause(selection()); });
    torrents->addSeparator();
    torrents->addAction(QStringLiteral("Альтернативные лимиты"), QKeySequence(Qt::CTRL | Qt::Key_T),
                        this, [this] {
                            AppSettings s = m_engine.settings();
                            s.altSpeedEnabled = !s.altSpeedEnabled;
                            m_engine.setSettings(s);
                        });
    // Whichever window of the application has the focus.
    for (QAction* a : commandActions())
        a->setShortcutContext(Qt::ApplicationShortcut);
}

QList<QAction*> MainWindow::commandActions() const {
    QList<QAction*> commands;
    for (QAction* menu : menuBar()->actions())
        if (menu->menu())
            for (QAction* a : menu->menu()->actions())
                if (!a->shortcut().isEmpty())
                    commands << a;
    return commands;
}

QAction* MainWindow::action(const QString& title) const {
    for (QAction* menu : menuBar()->actions())
        if (menu->menu())
            for (QAction* a : menu->menu()->actions())
                if (a->text() == title)
                    return a;
    return nullptr;
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    emit shown();
}

} // namespace tevro
