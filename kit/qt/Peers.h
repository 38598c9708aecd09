// Peer widgets with behaviour of their own. GUI thread only.
#pragma once

#include <QImage>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QWidget>

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

// A drawn view: keeps a full image of what its view drew, into which it paints each piece the
// view publishes, and repaints only that piece; sends mouse presses to the view.
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

private:
    const BMessenger fTarget;
    QImage fImage;
    int64 fPieces = 0;
    int64 fBytes = 0;
};

// A string view: one line of text in its colour, without a background of its own; mouse presses
// pass through to what lies under it. A new text only repaints it (a QLabel would also lay itself
// out again and post events about it, every second the move clock ticks).
class LabelPeer : public QWidget {
    Q_OBJECT
public:
    LabelPeer(QWidget* parent, const std::string& text, rgb_color color);
    void SetText(const std::string& text);
    void SetColor(rgb_color color);
    const QString& Text() const { return fText; }
    const QColor& Color() const { return fColor; }

signals:
    // The text or its colour changed (and will be on screen with the next paint).
    void Changed();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString fText;
    QColor fColor;
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

// A list view: its items' texts; sends the invocation message for the item activated (a
// double-click, or Enter on the current item).
class ListPeer : public QListWidget {
    Q_OBJECT
public:
    ListPeer(QWidget* parent, const std::vector<std::string>& items, BMessage invoke,
             BMessenger window);
    void Insert(int32 index, const std::string& text);
    void SetInvocation(BMessage invoke) { fInvoke = std::move(invoke); }

private:
    BMessage fInvoke;
    const BMessenger fWindow;
};

}  // namespace kit::qt
