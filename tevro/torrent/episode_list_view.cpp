#include "tevro/torrent/episode_list_view.h"

#include <map>

#include <QAccessibleWidget>
#include <QPointer>

#include "tevro/torrent/episode_delegate.h"
#include "tevro/torrent/episode_model.h"

namespace tevro {

namespace {

using Part = EpisodeListView::Part;

// The play button or the download toggle of one episode; reads the view afresh on every query.
class PartAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    PartAccessible(EpisodeListView* view, int row, Part part)
        : m_view(view), m_row(row), m_part(part) {}

    bool isValid() const override {
        return m_view && m_view->episodes() && m_row < m_view->episodes()->rowCount();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        if (!isValid())
            return {};
        if (t == QAccessible::Name)
            return m_view->partName(m_row, m_part);
        if (t == QAccessible::Value)
            return m_view->partValue(m_row, m_part);
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override {
        return m_part == Part::play ? QAccessible::Button : QAccessible::CheckBox;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (m_part == Part::toggle) {
            s.checkable = true;
            s.checked = isValid() && m_view->partValue(m_row, m_part) == u"Да";
        }
        if (!m_view || !m_view->isVisible())
            s.invisible = true;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && isValid())
            m_view->press(m_row, m_part);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<EpisodeListView> m_view;
    int m_row;
    Part m_part;
};

// One episode: its title, holding the two parts.
class ItemAccessible : public QAccessibleInterface {
public:
    ItemAccessible(EpisodeListView* view, int row) : m_view(view), m_row(row) {}
    ~ItemAccessible() override {
        for (QAccessible::Id id : m_parts)
            if (id)
                QAccessible::deleteAccessibleInterface(id);
    }

    bool isValid() const override {
        return m_view && m_view->episodes() && m_row < m_view->episodes()->rowCount();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return m_view ? QAccessible::queryAccessibleInterface(m_view.data()) : nullptr;
    }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index > 1)
            return nullptr;
        if (!m_parts[index])
            m_parts[index] = QAccessible::registerAccessibleInterface(
                new PartAccessible(m_view.data(), m_row, index == 0 ? Part::play : Part::toggle));
        return QAccessible::accessibleInterface(m_parts[index]);
    }
    int childCount() const override { return 2; }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < 2; ++i)
            if (m_parts[i] && QAccessible::accessibleInterface(m_parts[i]) == child)
                return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < 2; ++i)
            if (child(i)->rect().contains(x, y))
                return child(i);
        return nullptr;
    }
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || !isValid())
            return {};
        return m_view->episodes()->index(m_row).data(Qt::AccessibleTextRole).toString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid())
            return {};
        QRect r = m_view->visualRect(m_view->episodes()->index(m_row));
        return QRect(m_view->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!m_view || !m_view->isVisible())
            s.invisible = true;
        return s;
    }

private:
    QPointer<EpisodeListView> m_view;
    int m_row;
    mutable QAccessible::Id m_parts[2] = {0, 0};
};

class ListAccessible : public QAccessibleWidget {
public:
    explicit ListAccessible(EpisodeListView* view) : QAccessibleWidget(view, QAccessible::List) {}
    ~ListAccessible() override {
        for (const auto& [row, id] : m_items)
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override {
        return view()->episodes() ? view()->episodes()->rowCount() : 0;
    }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        auto [it, fresh] = m_items.try_emplace(index, 0);
        if (fresh)
            it->second =
                QAccessible::registerAccessibleInterface(new ItemAccessible(view(), index));
        return QAccessible::accessibleInterface(it->second);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (const auto& [row, id] : m_items)
            if (QAccessible::accessibleInterface(id) == child)
                return row;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        QModelIndex index = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() ? child(index.row()) : nullptr;
    }

private:
    EpisodeListView* view() const { return static_cast<EpisodeListView*>(object()); }
    mutable std::map<int, QAccessible::Id> m_items;
};

QAccessibleInterface* PartAccessible::parent() const {
    QAccessibleInterface* list =
        m_view ? QAccessible::queryAccessibleInterface(m_view.data()) : nullptr;
    return list ? list->child(m_row) : nullptr;
}

QRect PartAccessible::rect() const {
    if (!isValid())
        return {};
    auto* delegate = static_cast<EpisodeDelegate*>(m_view->itemDelegate());
    QRect item = m_view->visualRect(m_view->episodes()->index(m_row));
    QRect r = m_part == Part::play ? delegate->pictureRect(item) : delegate->toggleRect(item);
    return QRect(m_view->viewport()->mapToGlobal(r.topLeft()), r.size());
}

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* view = qobject_cast<EpisodeListView*>(object))
        return new ListAccessible(view);
    return nullptr;
}

} // namespace

EpisodeListView::EpisodeListView(QWidget* parent) : QListView(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

void EpisodeListView::setEpisodes(EpisodeModel* model, EpisodeDelegate* delegate) {
    m_model = model;
    m_delegate = delegate;
    setModel(model);
    setItemDelegate(delegate);
}

QString EpisodeListView::partName(int row, Part part) const {
    const TorrentFile* file = m_model ? m_model->file(m_model->index(row)) : nullptr;
    if (!file)
        return {};
    QString title = EpisodeModel::episodeTitle(*file);
    return part == Part::play ? QStringLiteral("Смотреть: ") + title
                              : QStringLiteral("Скачивать ") + title;
}

QString EpisodeListView::partValue(int row, Part part) const {
    const TorrentFile* file = m_model ? m_model->file(m_model->index(row)) : nullptr;
    if (!file || part != Part::toggle)
        return {};
    return file->prio >= 1 ? QStringLiteral("Да") : QStringLiteral("Нет");
}

void EpisodeListView::press(int row, Part part) {
    const TorrentFile* file = m_model ? m_model->file(m_model->index(row)) : nullptr;
    if (!file || !m_delegate)
        return;
    TorrentFile copy = *file;
    if (part == Part::play)
        emit m_delegate->playRequested(copy);
    else
        emit m_delegate->toggleRequested(copy);
}

} // namespace tevro
