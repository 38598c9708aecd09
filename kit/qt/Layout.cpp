#include "kit/qt/Layout.h"

#include <QMenuBar>
#include <QPushButton>
#include <QWidgetItem>
#include <algorithm>

#include "kit/interface/InterfaceDefs.h"
#include "kit/qt/Peers.h"

namespace kit::qt {

namespace {

// How far an edge at pos moves for the cuts at or before it.
int Shift(const std::vector<std::pair<int, int>>& cuts, int pos) {
    int shift = 0;
    for (const auto& [at, more] : cuts) {
        if (at <= pos)
            shift += more;
    }
    return shift;
}

void AddCut(std::vector<std::pair<int, int>>* cuts, int at, int more) {
    if (more <= 0)
        return;
    auto found = std::ranges::find(*cuts, at, &std::pair<int, int>::first);
    if (found == cuts->end())
        cuts->emplace_back(at, more);
    else
        found->second = std::max(found->second, more);
}

}  // namespace

QSize StyleHint(const QWidget* widget) {
    if (qobject_cast<const LabelPeer*>(widget) || qobject_cast<const LineEditPeer*>(widget) ||
        qobject_cast<const QPushButton*>(widget) || qobject_cast<const QMenuBar*>(widget))
        return widget->sizeHint();
    return QSize();
}

FrameLayout::FrameLayout(QWidget* parent, QSize design) : QLayout(parent), fDesign(design) {
    setContentsMargins(0, 0, 0, 0);
}

FrameLayout::~FrameLayout() {
    for (Entry& entry : fEntries)
        delete entry.item;
}

void FrameLayout::AddView(QWidget* widget, QRect frame, uint32 resizingMode) {
    addChildWidget(widget);
    fEntries.push_back({new QWidgetItem(widget), frame, resizingMode});
    invalidate();
}

void FrameLayout::SetFrame(QWidget* widget, QRect frame) {
    for (Entry& entry : fEntries) {
        if (entry.item->widget() == widget)
            entry.frame = frame;
    }
    invalidate();
}

void FrameLayout::addItem(QLayoutItem* item) {
    // Only AddView places views: an item without a frame has no place.
    delete item;
}

QLayoutItem* FrameLayout::itemAt(int index) const {
    return index >= 0 && index < count() ? fEntries[size_t(index)].item : nullptr;
}

QLayoutItem* FrameLayout::takeAt(int index) {
    if (index < 0 || index >= count())
        return nullptr;
    QLayoutItem* item = fEntries[size_t(index)].item;
    fEntries.erase(fEntries.begin() + index);
    return item;
}

int FrameLayout::count() const {
    return static_cast<int>(fEntries.size());
}

void FrameLayout::MakeCuts(Cuts* horizontal, Cuts* vertical) const {
    for (const Entry& entry : fEntries) {
        const QWidget* widget = entry.item->widget();
        if (widget == nullptr || widget->isHidden())
            continue;
        const QSize hint = StyleHint(widget);
        if (!hint.isValid())
            continue;
        AddCut(horizontal, entry.frame.right() + 1, hint.width() - entry.frame.width());
        AddCut(vertical, entry.frame.bottom() + 1, hint.height() - entry.frame.height());
    }
}

QSize FrameLayout::BaseSize() const {
    Cuts horizontal, vertical;
    MakeCuts(&horizontal, &vertical);
    return QSize(fDesign.width() + Shift(horizontal, fDesign.width()),
                 fDesign.height() + Shift(vertical, fDesign.height()));
}

void FrameLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    Cuts horizontal, vertical;
    MakeCuts(&horizontal, &vertical);
    const int dx = rect.width() - (fDesign.width() + Shift(horizontal, fDesign.width()));
    const int dy = rect.height() - (fDesign.height() + Shift(vertical, fDesign.height()));
    for (const Entry& entry : fEntries) {
        const QRect& frame = entry.frame;
        const uint32 mode = entry.mode;
        int left = frame.left() + Shift(horizontal, frame.left());
        int right = frame.right() + 1 + Shift(horizontal, frame.right() + 1);
        int top = frame.top() + Shift(vertical, frame.top());
        int bottom = frame.bottom() + 1 + Shift(vertical, frame.bottom() + 1);
        // Each edge follows the parent's edge its mode names; B_FOLLOW_NONE is left and top.
        if ((mode >> 8 & 0xf) == kFollowRightEdge)
            left += dx;
        if ((mode & 0xf) == kFollowRightEdge)
            right += dx;
        if ((mode >> 12 & 0xf) == kFollowBottomEdge)
            top += dy;
        if ((mode >> 4 & 0xf) == kFollowBottomEdge)
            bottom += dy;
        // Straight to the widget: a size policy may not take a view's frame from it.
        if (QWidget* widget = entry.item->widget())
            widget->setGeometry(rect.left() + left, rect.top() + top, right - left, bottom - top);
    }
}

}  // namespace kit::qt
