#include "tevro/library/painted_element.h"

namespace tevro {

const PaintedElement* clickableAt(const PaintedElements& elements, const QPointF& pos) {
    // Later elements lie over earlier ones.
    for (auto it = elements.rbegin(); it != elements.rend(); ++it)
        if (it->action != PaintedElement::Action::none && it->rect.contains(pos))
            return &*it;
    return nullptr;
}

const PaintedElement* toolTipAt(const PaintedElements& elements, const QPointF& pos) {
    for (auto it = elements.rbegin(); it != elements.rend(); ++it)
        if (!it->toolTip.isEmpty() && it->rect.contains(pos))
            return &*it;
    return nullptr;
}

} // namespace tevro
