#include <QImage>
#include <QPainter>
#include <algorithm>
#include <optional>
#include <utility>

#include "kit/qt/Bridge.h"
#include "kit/qt/Peers.h"
#include "kit/qt/Registry.h"

namespace kit::qt {

struct Canvas::Image {
    QImage image;
    // Open from the first stroke of a pass until the pass is published; declared after the image
    // it paints on, so that it ends first.
    std::optional<QPainter> painter;
    rgb_color penColor{};
    float penSize = -1;
    // What changed since the last publish, within the image; empty when nothing did.
    QRect dirty;

    // The pass's painter, with a pen for aliased strokes in the given colour; the alpha byte is
    // ignored, so painting a shape again in white erases it exactly.
    QPainter& Pen(rgb_color color, float size) {
        if (!painter) {
            painter.emplace(&image);
            painter->setRenderHint(QPainter::Antialiasing, false);
            penSize = -1;
        }
        if (size != penSize || !(color == penColor)) {
            QPen pen(QColor(color.red, color.green, color.blue));
            pen.setWidthF(size);
            // A thin line covers both its end points; a thick one ends flat at them.
            pen.setCapStyle(size <= 1 ? Qt::SquareCap : Qt::FlatCap);
            painter->setPen(pen);
            penColor = color;
            penSize = size;
        }
        return *painter;
    }

    // Adds the bounds of a stroke around shape: half the pen reaches past the shape's outline (a
    // square cap past an end point as far), and one pixel more covers the rounding to pixels.
    // The shape is in view pixels, the bounds in the image's device pixels.
    void Touch(QRectF shape, float penSize) {
        const qreal margin = std::max(penSize, 1.0f) / 2 + 1;
        const qreal scale = image.devicePixelRatio();
        const QRectF grown = shape.normalized().adjusted(-margin, -margin, margin, margin);
        const QRect touched = QRectF(grown.topLeft() * scale, grown.size() * scale)
                                  .toAlignedRect()
                                  .intersected(image.rect());
        dirty = dirty.united(touched);
    }
};

Canvas::Canvas(int width, int height, float scale) : fImage(std::make_unique<Image>()) {
    fImage->image = QImage(qRound(width * scale), qRound(height * scale), QImage::Format_RGB32);
    // The painter then takes view coordinates and draws at the device's resolution.
    fImage->image.setDevicePixelRatio(scale);
    // The peer starts as white as this.
    fImage->image.fill(Qt::white);
}

Canvas::~Canvas() = default;

void Canvas::Clear(rgb_color color) {
    fImage->painter.reset();
    fImage->image.fill(QColor(color.red, color.green, color.blue));
    fImage->dirty = fImage->image.rect();
}

void Canvas::StrokeLine(BPoint from, BPoint to, rgb_color color, float penSize) {
    const QPointF start(from.x, from.y), end(to.x, to.y);
    fImage->Pen(color, penSize).drawLine(start, end);
    fImage->Touch(QRectF(start, end), penSize);
}

void Canvas::StrokeEllipse(BPoint center, float xRadius, float yRadius, rgb_color color,
                           float penSize) {
    const QPointF middle(center.x, center.y);
    fImage->Pen(color, penSize).drawEllipse(middle, xRadius, yRadius);
    fImage->Touch(QRectF(middle.x() - xRadius, middle.y() - yRadius, 2 * xRadius, 2 * yRadius),
                  penSize);
}

void Canvas::PublishIfChanged(PeerId peer) {
    fImage->painter.reset();
    if (fImage->dirty.isEmpty())
        return;
    const QRect changed = std::exchange(fImage->dirty, QRect());
    // A copy of the changed piece alone: the GUI thread keeps its own full image.
    Post([peer, at = changed.topLeft(), piece = fImage->image.copy(changed)] {
        if (auto* canvas = FindPeer<CanvasPeer>(peer))
            canvas->Paint(at, piece);
    });
}

}  // namespace kit::qt
