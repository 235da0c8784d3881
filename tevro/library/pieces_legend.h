#pragma once

// The four piece colours with their names, in a row when it fits the width,
// else in a column.

#include <QWidget>

namespace tevro {

class PiecesLegend : public QWidget {
    Q_OBJECT
public:
    explicit PiecesLegend(QWidget* parent = nullptr);

    // Whether the legend lays its labels out in one row at `width`.
    bool fitsRow(int width) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace tevro
