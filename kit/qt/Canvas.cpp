#include <QImage>
#include <QPainter>

#include "kit/qt/Bridge.h"
#include "kit/qt/Peers.h"
#include "kit/qt/Registry.h"

namespace kit::qt {

struct Canvas::Image {
    QImage image;
};

namespace {

// Aliased strokes in the given colour; the alpha byte is ignored, so painting a shape again in
// white erases it exactly.
class Pen {
public:
    Pen(QImage& image, rgb_color color, float size) : fPainter(&image) {
        QPen pen(QColor(color.red, color.green, color.blue));
        pen.setWidthF(size);
        // A thin line covers both its end points; a thick one ends flat at them.
        pen.setCapStyle(size <= 1 ? Qt::SquareCap : Qt::FlatCap);
        fPainter.setPen(pen);
        fPainter.setRenderHint(QPainter::Antialiasing, false);
    }
    QPainter* operator->() { return &fPainter; }

private:
    QPainter fPainter;
};

}  // namespace

Canvas::Canvas(int width, int height)
    : fImage(std::make_unique<Image>(Image{QImage(width, height, QImage::Format_RGB32)})) {
    fImage->image.fill(Qt::white);
}

Canvas::~Canvas() = default;

void Canvas::Clear(rgb_color color) {
    fImage->image.fill(QColor(color.red, color.green, color.blue));
    fChanged = true;
}

void Canvas::StrokeLine(BPoint from, BPoint to, rgb_color color, float penSize) {
    Pen(fImage->image, color, penSize)->drawLine(QPointF(from.x, from.y), QPointF(to.x, to.y));
    fChanged = true;
}

void Canvas::StrokeEllipse(BPoint center, float xRadius, float yRadius, rgb_color color,
                           float penSize) {
    Pen(fImage->image, color, penSize)->drawEllipse(QPointF(center.x, center.y), xRadius, yRadius);
    fChanged = true;
}

void Canvas::PublishIfChanged(PeerId peer) {
    if (!fChanged)
        return;
    fChanged = false;
    // A shared copy: the next stroke here detaches from what the GUI thread shows.
    Post([peer, image = fImage->image] {
        if (auto* canvas = FindPeer<CanvasPeer>(peer))
            canvas->Show(image);
    });
}

}  // namespace kit::qt
