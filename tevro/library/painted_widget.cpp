#include "tevro/library/painted_widget.h"

#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QToolTip>

namespace tevro {

namespace {

class PaintedWidgetAccessible;

// One painted part; reads its data afresh from the widget on every query.
class PaintedElementAccessible : public QAccessibleInterface {
public:
    PaintedElementAccessible(PaintedWidget* widget, int index) : m_widget(widget), m_index(index) {}

    bool isValid() const override { return m_widget && element(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_widget ? m_widget->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return m_widget ? QAccessible::queryAccessibleInterface(m_widget.data()) : nullptr;
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
        if (!e || !m_widget)
            return {};
        return QRect(m_widget->mapToGlobal(e->rect.topLeft().toPoint()), e->rect.size().toSize());
    }
    QAccessible::Role role() const override {
        const auto e = element();
        return e ? e->role : QAccessible::NoRole;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        const auto e = element();
        if (e && e->selected) {
            s.selectable = true;
            s.selected = true;
        }
        if (!m_widget || !m_widget->isVisible())
            s.invisible = true;
        return s;
    }

private:
    std::optional<PaintedElement> element() const {
        if (!m_widget)
            return std::nullopt;
        const PaintedElements all = m_widget->elements();
        if (m_index < 0 || m_index >= int(all.size()))
            return std::nullopt;
        return all[std::size_t(m_index)];
    }

    QPointer<PaintedWidget> m_widget;
    int m_index;
};

class PaintedWidgetAccessible : public QAccessibleWidget {
public:
    explicit PaintedWidgetAccessible(PaintedWidget* widget)
        : QAccessibleWidget(widget, QAccessible::Grouping) {}
    ~PaintedWidgetAccessible() override {
        for (QAccessible::Id id : m_children)
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return int(widget()->elements().size()); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        if (index >= int(m_children.size())) {
            for (int i = int(m_children.size()); i <= index; ++i)
                m_children.push_back(QAccessible::registerAccessibleInterface(
                    new PaintedElementAccessible(widget(), i)));
        }
        return QAccessible::accessibleInterface(m_children[std::size_t(index)]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (std::size_t i = 0; i < m_children.size(); ++i)
            if (QAccessible::accessibleInterface(m_children[i]) == child)
                return int(i);
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPointF local = widget()->mapFromGlobal(QPoint(x, y));
        const PaintedElements all = widget()->elements();
        for (int i = int(all.size()) - 1; i >= 0; --i)
            if (all[std::size_t(i)].rect.contains(local))
                return child(i);
        return nullptr;
    }

private:
    PaintedWidget* widget() const { return static_cast<PaintedWidget*>(object()); }
    mutable std::vector<QAccessible::Id> m_children;
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* w = qobject_cast<PaintedWidget*>(object))
        return new PaintedWidgetAccessible(w);
    return nullptr;
}

} // namespace

PaintedWidget::PaintedWidget(QWidget* parent) : QWidget(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
    setMouseTracking(true);
}

bool PaintedWidget::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const PaintedElements all = elements();
        if (const PaintedElement* el = toolTipAt(all, help->pos()))
            QToolTip::showText(help->globalPos(), el->toolTip, this, el->rect.toRect());
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(e);
}

void PaintedWidget::mousePressEvent(QMouseEvent* event) {
    const PaintedElements all = elements();
    const PaintedElement* el = clickableAt(all, event->position());
    m_pressed = el && event->button() == Qt::LeftButton ? el->action : PaintedElement::Action::none;
    event->accept();
}

void PaintedWidget::mouseReleaseEvent(QMouseEvent* event) {
    const PaintedElements all = elements();
    const PaintedElement* el = clickableAt(all, event->position());
    const auto pressed = m_pressed;
    m_pressed = PaintedElement::Action::none;
    if (el && event->button() == Qt::LeftButton && el->action == pressed)
        activate(*el);
    event->accept();
}

void PaintedWidget::activate(const PaintedElement& element) {
    emit activated(element.action);
}

} // namespace tevro
