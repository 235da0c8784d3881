#pragma once

// The library's grid: cards in as many columns of at least the minimum card
// width as fit, filling the width up to the maximum card width.

#include "tevro/library/library_item_view.h"

namespace tevro {

class TorrentCardItemDelegate;

class TorrentGridView : public LibraryItemView {
    Q_OBJECT
public:
    static constexpr int kMinCardWidth = 220;
    static constexpr int kMaxCardWidth = 340;
    static constexpr int kSpacing = 18;

    explicit TorrentGridView(QWidget* parent = nullptr);

    int columns() const { return m_columns; }
    int cardWidth() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitColumns();

    TorrentCardItemDelegate* m_cards;
    int m_columns = 1;
};

} // namespace tevro
