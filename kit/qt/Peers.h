// Peer widgets with behaviour of their own. GUI thread only.
#pragma once

#include <QImage>
#include <QPlainTextEdit>
#include <QWidget>
#include <optional>

#include "kit/qt/Bridge.h"

class QLabel;
class QLineEdit;

namespace kit::qt {

// A kit window: its close box asks the window's thread instead of closing.
class WindowPeer : public QWidget {
    Q_OBJECT
public:
    explicit WindowPeer(const WindowSpec& description);
    // Asks the window's thread to quit (B_QUIT_REQUESTED), as the close box does.
    void AskToQuit();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    const BMessenger fMessenger;
};

// A drawn view: keeps a full image of what its view drew, in device pixels, into which it paints
// each piece the view publishes, and repaints only that piece; sends mouse presses to the view,
// and its size and device pixel ratio whenever they differ from its view's canvas.
class CanvasPeer : public QWidget {
    Q_OBJECT
public:
    CanvasPeer(QWidget* parent, QSize size, BMessenger target);
    void Paint(QPoint at, const QImage& piece);
    const QImage& Image() const { return fImage; }
    // What the view has sent so far: the pieces, and the bytes of their pixels.
    int64 Pieces() const { return fPieces; }
    int64 Bytes() const { return fBytes; }

signals:
    // A piece is in the image (and will be on screen with the next paint).
    void PiecePainted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Tells the view when its size or scale on screen is not its canvas's any more.
    void CheckSize();
    // A white image of the canvas's size and scale.
    void NewImage();

    const BMessenger fTarget;
    // The size and scale the view's canvas has, or will have once the view has the last report.
    QSize fKitSize;
    qreal fKitScale = 1;
    QImage fImage;
    int64 fPieces = 0;
    int64 fBytes = 0;
};

// A string view: one line of text in its colour, without a background of its own; mouse presses
// pass through to what lies under it. A new text only repaints it (a QLabel would also lay itself
// out again and post events about it, every second the move clock ticks); only a text of another
// width asks for a new layout. Without a colour of its own it takes the palette's text colour.
class LabelPeer : public QWidget {
    Q_OBJECT
public:
    LabelPeer(QWidget* parent, const std::string& text, std::optional<rgb_color> color);
    // With fitToRoom the size hint stays that of the text before, and this one is drawn cut to
    // the label's width, whole in its tooltip.
    void SetText(const std::string& text, bool fitToRoom = false);
    void SetColor(rgb_color color);
    const QString& Text() const { return fText; }
    // The colour the text is drawn in.
    QColor Color() const;
    QSize sizeHint() const override;

signals:
    // The text or its colour changed (and will be on screen with the next paint).
    void Changed();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString fText;
    QString fHintText;  // the text whose width the label asks for
    std::optional<QColor> fColor;
};

// A text control: a label left of the divider and a line entry.
class LineEditPeer : public QWidget {
    Q_OBJECT
public:
    LineEditPeer(QWidget* parent, const std::string& label, float divider,
                 std::shared_ptr<SharedText> text, BMessage invoke, BMessenger window);
    QLineEdit* Edit() const { return fEdit; }
    QLabel* Label() const { return fLabel; }
    void SetDivider(float divider);

private:
    QLabel* const fLabel;
    QLineEdit* const fEdit;
    const std::shared_ptr<SharedText> fText;
};

// A text view: shows its shared text, and typing feeds it.
class TextEditPeer : public QPlainTextEdit {
    Q_OBJECT
public:
    TextEditPeer(QWidget* parent, std::shared_ptr<SharedText> text, bool editable);
    // Shows what the kit changed since the last look: the new end, or the whole text when whole
    // or when the kit changed more than the end.
    void Update(bool whole);

private:
    const std::shared_ptr<SharedText> fText;
    bool fSetting = false;
};

}  // namespace kit::qt
