#include "tevro/torrent/file_row_delegate.h"

#include <QApplication>
#include <QPainter>

#include "tevro/library/file_pieces_bar.h"
#include "tevro/library/media_artwork.h"
#include "tevro/library/symbols.h"
#include "tevro/media/check_state.h"
#include "tevro/media/file_node.h"
#include "tevro/torrent/file_tree_model.h"

namespace tevro {

namespace {

// The folder progress tint.
const QColor kFolderTint = QColor::fromRgbF(0.48f, 0.66f, 0.57f);

std::string kindSymbol(const FileNode& node) {
    if (node.isFolder())
        return "folder";
    return MediaArtwork::symbol(node.kind.value_or(MediaKind::other));
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
        Symbols::paint(*painter, iconRect, kindSymbol(*node),
                       node->isFolder() ? opt.palette.color(QPalette::Highlight) : secondary);
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
    QRect box(option.rect.center().x() - 8, option.rect.center().y() - 8, 17, 17);
    QColor accent = option.palette.color(QPalette::Highlight);
    QColor secondary = option.palette.color(QPalette::Disabled, QPalette::Text);
    switch (static_cast<CheckState>(index.data(FileTreeModel::CheckRole).toInt())) {
    case CheckState::on:
        Symbols::paint(*painter, box, "checkmark.square.fill", accent);
        break;
    case CheckState::off:
        Symbols::paint(*painter, box, "square", secondary);
        break;
    case CheckState::mixed:
        Symbols::paint(*painter, box, "minus.square.fill", accent);
        break;
    }
}

void FileRowDelegate::paintProgress(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    const double fraction =
        std::clamp(index.data(FileTreeModel::FractionRole).toDouble(), 0.0, 1.0);
    QRect r = option.rect.adjusted(4, 0, -4, 0);
    QRect textRect(r.right() - 44, r.top(), 44, r.height());
    QRect bar(r.left(), r.center().y() - 3, std::max(10, textRect.left() - 6 - r.left()), 7);
    painter->setRenderHint(QPainter::Antialiasing);
    auto* model = qobject_cast<const FileTreeModel*>(index.model());
    const FileNode* node = model ? model->node(index) : nullptr;
    if (node && node->file) {
        FilePiecesBar::paint(*painter, bar, m_pieceMap, *node->file);
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignRight, option.text);
        return;
    }
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
