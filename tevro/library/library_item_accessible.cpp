#include "tevro/library/library_item_accessible.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>

#include "tevro/library/library_item_view.h"
#include "tevro/library/torrent_list_model.h"

namespace tevro::LibraryItemAccessible {

namespace {

QModelIndex indexOf(const LibraryItemView* view, const std::string& id) {
    if (!view || !view->torrentModel())
        return {};
    return view->torrentModel()->indexOf(id);
}

QRect toScreen(const LibraryItemView* view, const QRect& r) {
    return QRect(view->viewport()->mapToGlobal(r.topLeft()), r.size());
}

// Hidden with the view, off screen while scrolled out of sight.
void addVisibility(QAccessible::State& s, const LibraryItemView* view, const QRect& r) {
    if (!view->isVisible())
        s.invisible = true;
    else if (!view->viewport()->visibleRegion().boundingRect().intersects(r))
        s.offscreen = true;
}

// One painted part of an item (a button, a text, the progress bar).
class ElementAccessible : public QAccessibleInterface,
                          public QAccessibleActionInterface,
                          public QAccessibleValueInterface {
public:
    ElementAccessible(LibraryItemView* view, std::string id, int index, QAccessible::Id item)
        : m_view(view), m_id(std::move(id)), m_index(index), m_item(item) {}

    bool isValid() const override { return element().has_value(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::accessibleInterface(m_item);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        const auto e = element();
        if (!e)
            return {};
        switch (t) {
        case QAccessible::Name:
            return e->name;
        case QAccessible::Value:
            return e->value;
        case QAccessible::Description:
        case QAccessible::Help:
            return e->toolTip;
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        const auto e = element();
        return e ? toScreen(m_view, e->rect.toAlignedRect()) : QRect();
    }
    QAccessible::Role role() const override {
        const auto e = element();
        return e ? e->role : QAccessible::NoRole;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        const auto e = element();
        if (!e) {
            s.invalid = true;
            return s;
        }
        if (e->selected) {
            s.selectable = true;
            s.selected = true;
        }
        if (e->role == QAccessible::ButtonMenu)
            s.hasPopup = true;
        addVisibility(s, m_view, e->rect.toAlignedRect());
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        const auto e = element();
        if (type == QAccessible::ActionInterface && e && e->action != PaintedElement::Action::none)
            return static_cast<QAccessibleActionInterface*>(this);
        if (type == QAccessible::ValueInterface && e && e->role == QAccessible::ProgressBar)
            return static_cast<QAccessibleValueInterface*>(this);
        return nullptr;
    }

    // The progress bar's fraction in percent.
    QVariant currentValue() const override {
        const QModelIndex index = indexOf(m_view, m_id);
        if (!index.isValid())
            return {};
        return m_view->torrentModel()->item(index.row()).text().fraction * 100;
    }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 100.0; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 0.0; }

    QStringList actionNames() const override {
        const auto e = element();
        if (!e || e->action == PaintedElement::Action::none)
            return {};
        if (e->action == PaintedElement::Action::menu)
            return {showMenuAction(), pressAction()};
        return {pressAction()};
    }
    void doAction(const QString& name) override {
        const auto e = element();
        if (!e || !m_view || !actionNames().contains(name))
            return;
        m_view->activate(QString::fromStdString(m_id), e->action);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    std::optional<PaintedElement> element() const {
        const QModelIndex index = indexOf(m_view, m_id);
        if (!index.isValid())
            return std::nullopt;
        const PaintedElements all = m_view->elementsOf(index);
        if (m_index < 0 || m_index >= int(all.size()))
            return std::nullopt;
        return all[std::size_t(m_index)];
    }

    QPointer<LibraryItemView> m_view;
    std::string m_id;
    int m_index;
    QAccessible::Id m_item;
};

// One torrent's card or row.
class ItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ItemAccessible(LibraryItemView* view, std::string id) : m_view(view), m_id(std::move(id)) {}
    ~ItemAccessible() override {
        for (QAccessible::Id child : m_children)
            QAccessible::deleteAccessibleInterface(child);
    }

    void setSelfId(QAccessible::Id self) { m_self = self; }

    bool isValid() const override { return index().isValid(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return m_view ? QAccessible::queryAccessibleInterface(m_view.data()) : nullptr;
    }
    int childCount() const override {
        return isValid() ? int(m_view->elementsOf(index()).size()) : 0;
    }
    QAccessibleInterface* child(int i) const override {
        if (i < 0 || i >= childCount())
            return nullptr;
        while (int(m_children.size()) <= i)
            m_children.push_back(QAccessible::registerAccessibleInterface(
                new ElementAccessible(m_view, m_id, int(m_children.size()), m_self)));
        return QAccessible::accessibleInterface(m_children[std::size_t(i)]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (std::size_t i = 0; i < m_children.size(); ++i)
            if (QAccessible::accessibleInterface(m_children[i]) == child)
                return int(i);
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        if (!isValid())
            return nullptr;
        const QPoint local = m_view->viewport()->mapFromGlobal(QPoint(x, y));
        const PaintedElements all = m_view->elementsOf(index());
        for (int i = int(all.size()) - 1; i >= 0; --i)
            if (all[std::size_t(i)].rect.contains(local))
                return child(i);
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        const QModelIndex i = index();
        if (!i.isValid())
            return {};
        if (t == QAccessible::Name)
            return i.data(Qt::AccessibleTextRole).toString();
        if (t == QAccessible::Description)
            return i.data(Qt::ToolTipRole).toString();
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        const QModelIndex i = index();
        return i.isValid() ? toScreen(m_view, m_view->visualRect(i)) : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        const QModelIndex i = index();
        if (!i.isValid()) {
            s.invalid = true;
            return s;
        }
        s.selectable = true;
        s.multiSelectable = true;
        s.selected = i.data(TorrentListModel::SelectedRole).toBool();
        s.focusable = true;
        s.focused = m_view->hasFocus() && m_view->currentIndex() == i;
        addVisibility(s, m_view, m_view->visualRect(i));
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    QStringList actionNames() const override {
        return {pressAction(), showMenuAction(), setFocusAction()};
    }
    void doAction(const QString& name) override {
        const QModelIndex i = index();
        if (!i.isValid())
            return;
        if (name == pressAction()) {
            m_view->activate(QString::fromStdString(m_id), PaintedElement::Action::select);
        } else if (name == showMenuAction()) {
            m_view->requestContextMenu(i);
        } else if (name == setFocusAction()) {
            m_view->setFocus(Qt::OtherFocusReason);
            m_view->setCurrentIndex(i);
        }
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        if (name == pressAction())
            return {QStringLiteral("Space")};
        if (name == showMenuAction())
            return {QStringLiteral("Menu")};
        return {};
    }

private:
    QModelIndex index() const { return indexOf(m_view, m_id); }

    QPointer<LibraryItemView> m_view;
    std::string m_id;
    QAccessible::Id m_self = 0;
    mutable std::vector<QAccessible::Id> m_children;
};

class ViewAccessible : public QAccessibleWidget {
public:
    explicit ViewAccessible(LibraryItemView* view) : QAccessibleWidget(view, QAccessible::List) {}
    ~ViewAccessible() override {
        for (const auto& [id, item] : m_items)
            QAccessible::deleteAccessibleInterface(item);
    }

    int childCount() const override {
        const TorrentListModel* model = view()->torrentModel();
        return model ? model->rowCount() : 0;
    }
    QAccessibleInterface* child(int index) const override {
        const TorrentListModel* model = view()->torrentModel();
        if (!model || index < 0 || index >= model->rowCount())
            return nullptr;
        return itemFor(model->item(index).torrent.id);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const TorrentListModel* model = view()->torrentModel();
        if (!model)
            return -1;
        for (const auto& [id, item] : m_items)
            if (QAccessible::accessibleInterface(item) == child)
                return model->row(id).value_or(-1);
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QModelIndex index = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() ? child(index.row()) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        const QModelIndex current = view()->currentIndex();
        if (!view()->hasFocus() || !current.isValid())
            return nullptr;
        return child(current.row());
    }

private:
    LibraryItemView* view() const { return static_cast<LibraryItemView*>(object()); }

    QAccessibleInterface* itemFor(const std::string& id) const {
        auto it = m_items.find(id);
        if (it == m_items.end()) {
            auto* item = new ItemAccessible(view(), id);
            const QAccessible::Id self = QAccessible::registerAccessibleInterface(item);
            item->setSelfId(self);
            it = m_items.emplace(id, self).first;
        }
        return QAccessible::accessibleInterface(it->second);
    }

    // One interface per torrent, kept while the view lives: a torrent that
    // leaves and comes back is the same element to assistive tools.
    mutable std::unordered_map<std::string, QAccessible::Id> m_items;
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* view = qobject_cast<LibraryItemView*>(object))
        return new ViewAccessible(view);
    return nullptr;
}

} // namespace

void install() {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace tevro::LibraryItemAccessible
