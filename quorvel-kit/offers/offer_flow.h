#pragma once

// A layout that sets its items in lines, left to right, and starts a new line
// when the next item would cross the width it has. Items of a line share their
// top edge; lines are `spacing` apart. Under a right-to-left direction Qt
// mirrors the positions, so lines then fill from the right.

#include <optional>
#include <vector>

#include <QLayout>

namespace quorvel {

class OfferFlow : public QLayout {
    Q_OBJECT
public:
    explicit OfferFlow(int spacing, QWidget* parent = nullptr);
    ~OfferFlow() override;

    int flowSpacing() const { return m_spacing; }
    void setFlowSpacing(int spacing);

    // The size the items need within `width` (open: all on one line), without
    // the layout's contents margins.
    QSize sizeFor(std::optional<int> width) const;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    std::vector<QLayoutItem*> m_items;
    int m_spacing;
};

} // namespace quorvel
