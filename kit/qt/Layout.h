// FrameLayout: places the peers of a window's (or a view's) child views from their frames, their
// size hints and their resizing modes. GUI thread only.
//
// The frames are the views' places at the reference font. Along each axis, a view that Qt draws
// and that needs more than its frame (its size hint) marks a cut at its far edge; every edge at or
// beyond a cut moves on by what that cut needs (the most any view ending there needs), so the
// views beyond it give way and the parent grows by the sum: the base size. Beyond the base size
// each edge follows the parent's edge its resizing mode names. So nothing is narrower or lower
// than its hint, and with hints that fit their frames the frames are kept exactly.
#pragma once

#include <QLayout>
#include <QRect>
#include <vector>

#include "kit/kernel/OS.h"

namespace kit::qt {

class FrameLayout : public QLayout {
public:
    // design: the parent's size for which the frames were made.
    FrameLayout(QWidget* parent, QSize design);
    ~FrameLayout() override;

    // Adds a child widget at its frame, following the parent as resizingMode says.
    void AddView(QWidget* widget, QRect frame, uint32 resizingMode);
    // Gives a child a new frame (at the reference font).
    void SetFrame(QWidget* widget, QRect frame);
    // The parent's size with every view at least at its hint.
    QSize BaseSize() const;

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override { return BaseSize(); }
    QSize minimumSize() const override { return BaseSize(); }
    void setGeometry(const QRect& rect) override;

private:
    struct Entry {
        QLayoutItem* item;
        QRect frame;
        uint32 mode;
    };
    // The cuts of one axis: position (exclusive far edge in design pixels) and what it adds.
    using Cuts = std::vector<std::pair<int, int>>;
    void MakeCuts(Cuts* horizontal, Cuts* vertical) const;

    const QSize fDesign;
    std::vector<Entry> fEntries;
};

// The peer's size hint where the style and font decide it (menu bars, labels, buttons, text
// controls); an invalid size for views that scroll or scale their content.
QSize StyleHint(const QWidget* widget);

}  // namespace kit::qt
