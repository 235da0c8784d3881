#include "tevro/torrent/popup_menu.h"

#include <QAbstractButton>
#include <QMenu>

namespace tevro {

void popUpOnClick(QAbstractButton* button, QMenu* menu) {
    // The click that closes the menu (on its button too) does nothing else.
    menu->setAttribute(Qt::WA_NoMouseReplay);
    QObject::connect(button, &QAbstractButton::clicked, menu, [button, menu] {
        menu->popup(button->mapToGlobal(QPoint(0, button->height())));
    });
}

} // namespace tevro
