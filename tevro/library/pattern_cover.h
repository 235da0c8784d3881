#pragma once

// The generated cover of a torrent or file without a picture: one of twelve
// gradients with a pattern of thin white lines, picked by a hash of an
// identity text, so the same identity always gets the same cover. Each of
// the twelve images is drawn once and kept for the life of the process
// (main thread only).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <QImage>
#include <QWidget>

namespace tevro {

class PatternCover : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 400;
    static constexpr int kRampCount = 12;

    explicit PatternCover(std::string identity = {}, QWidget* parent = nullptr);

    void setIdentity(std::string identity);
    const std::string& identity() const { return m_identity; }

    // 64-bit FNV-1a of the identity's UTF-8 bytes.
    static std::uint64_t hash(std::string_view identity);
    static int rampIndex(std::string_view identity);
    // The colours of each ramp as 0xRRGGBB.
    static const std::array<std::vector<std::uint32_t>, kRampCount>& ramps();

    // The cover of a ramp, drawn on the first request and cached.
    static QImage artwork(int index);
    // A fresh drawing, not cached (what artwork() draws once).
    static QImage draw(int index);

    // The cover of `identity` scaled to fill `rect`, cropped to it.
    static void paint(QPainter& painter, const QRectF& rect, std::string_view identity);

    QSize sizeHint() const override { return {160, 100}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string m_identity;
};

} // namespace tevro
