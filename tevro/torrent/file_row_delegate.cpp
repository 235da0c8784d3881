#include "tevro/torrent/file_row_delegate.h"

#include <QApplication>
#include <QPainter>

#include "tevro/media/check_state.h"
#include "tevro/media/file_node.h"
#include "tevro/torrent/file_tree_model.h"

namespace tevro {

namespace {

// The folder progress tint.
const QColor kFolderTint = QColor::fromRgbF(0.48f, 0.66f, 0.57f);

QIcon kindIcon(const FileNode& node) {
    QStyle* style = QApplication::style();
    if (node.isFolder())
        return style->standardIcon(QStyle::SP_DirIcon);
    if (node.kind == MediaKind::video)
        return style->standardIcon(QStyle::SP_MediaPlay);
    if (node.kind == MediaKind::audio)
        return style->standardIcon(QStyle::SP_MediaVolume);
    return style->standardIcon(QStyle::SP_FileIcon);
}

} // namespace

FileRowDelegate::FileRowDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QSize FileRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    return {s.width(), std::max(s.height(), 24)};
}

void FileRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    auto* model = qobject_cast<const FileTreeModel*>(index.model());
    const FileNode* node = model ? model->node(index) : nullptr;
    if (!node)
        return QStyledItemDelegate::paint(painter, option, index);

    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    // Background and selection first, the cell's own content after.
    QStyleOptionViewItem background = opt;
    background.text.clear();
    background.icon = QIcon();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, opt.widget);

    const bool off = node->check() == CheckState::off;
    QColor secondary = opt.palette.color(QPalette::Disabled, QPalette::Text);
    QColor primary = opt.palette.color(
        opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text);
    painter->save();
    switch (index.column()) {
    case FileTreeModel::checkColumn:
        paintCheck(painter, opt, index);
        break;
    case FileTreeModel::nameColumn: {
        QRect r = opt.rect.adjusted(2, 0, -2, 0);
        QRect iconRect(r.left(), r.center().y() - 8, 16, 16);
        kindIcon(*node).paint(painter, iconRect);
        r.setLeft(iconRect.right() + 7);
        painter->setPen(off ? secondary : primary);
        painter->drawText(r, Qt::AlignVCenter | Qt::AlignLeft,
                          opt.fontMetrics.elidedText(opt.text, Qt::ElideMiddle, r.width()));
        break;
    }
    case FileTreeModel::progressColumn:
        paintProgress(painter, opt, index);
        break;
    case FileTreeModel::priorityColumn: {
        int shared = index.data(FileTreeModel::SharedPriorityRole).toInt();
        painter->setPen(shared == 0 ? secondary : primary);
        QRect r = opt.rect.adjusted(6, 0, -4, 0);
        painter->drawText(r, Qt::AlignVCenter | Qt::AlignLeft, opt.text + QStringLiteral(" ▾"));
        break;
    }
    default: {
        painter->setPen(primary);
        QRect r = opt.rect.adjusted(4, 0, -6, 0);
        painter->drawText(r, Qt::AlignVCenter | Qt::AlignRight, opt.text);
        break;
    }
    }
    painter->restore();
}

void FileRowDelegate::paintCheck(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyleOptionButton box;
    box.rect = QRect(option.rect.center().x() - 7, option.rect.center().y() - 7, 15, 15);
    box.state = QStyle::State_Enabled;
    switch (static_cast<CheckState>(index.data(FileTreeModel::CheckRole).toInt())) {
    case CheckState::on:
        box.state |= QStyle::State_On;
        break;
    case CheckState::off:
        box.state |= QStyle::State_Off;
        break;
    case CheckState::mixed:
        box.state |= QStyle::State_NoChange;
        break;
    }
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, option.widget);
}

void FileRowDelegate::paintProgress(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    const double fraction =
        std::clamp(index.data(FileTreeModel::FractionRole).toDouble(), 0.0, 1.0);
    QRect r = option.rect.adjusted(4, 0, -4, 0);
    QRect textRect(r.right() - 44, r.top(), 44, r.height());
    QRect bar(r.left(), r.center().y() - 3, std::max(10, textRect.left() - 6 - r.left()), 7);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    QColor track = option.palette.color(QPalette::Mid);
    painter->setBrush(track);
    painter->drawRoundedRect(bar, 3, 3);
    QRect fill = bar;
    fill.setWidth(static_cast<int>(bar.width() * fraction));
    painter->setBrush(kFolderTint);
    if (fill.width() > 0)
        painter->drawRoundedRect(fill, 3, 3);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignRight, option.text);
}

} // namespace tevro
