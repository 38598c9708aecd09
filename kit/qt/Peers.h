// Peer widgets with behaviour of their own. GUI thread only.
#pragma once

#include <QImage>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QWidget>
#include <functional>
#include <optional>
#include <utility>

#include "kit/interface/InterfaceDefs.h"
#include "kit/qt/Bridge.h"

class QAccessibleEvent;
class QLabel;
class QLineEdit;

namespace kit::qt {

// The keys that have a code of their own in the kit (B_UP_ARROW, ...) instead of a character.
inline constexpr std::pair<Qt::Key, char> kKeyCodes[] = {
    {Qt::Key_Up, B_UP_ARROW},       {Qt::Key_Down, B_DOWN_ARROW},     {Qt::Key_Left, B_LEFT_ARROW},
    {Qt::Key_Right, B_RIGHT_ARROW}, {Qt::Key_Home, B_HOME},           {Qt::Key_End, B_END},
    {Qt::Key_PageUp, B_PAGE_UP},    {Qt::Key_PageDown, B_PAGE_DOWN},  {Qt::Key_Return, B_ENTER},
    {Qt::Key_Enter, B_ENTER},       {Qt::Key_Space, B_SPACE},         {Qt::Key_Tab, B_TAB},
    {Qt::Key_Escape, B_ESCAPE},     {Qt::Key_Backspace, B_BACKSPACE}, {Qt::Key_Delete, B_DELETE},
    {Qt::Key_Insert, B_INSERT},
};

// Lets assistive tools see the kit's drawn views as tables and its string views' texts.
void InstallAccessibility();
// Whether the peers tell of their changes: while an assistive tool listens (none does on most
// desktops, and then a tick of the clock costs nothing more), or while a test watches them.
bool AccessibilityListening();
// Tells assistive tools of a change, and the watcher, if any.
void TellAccessibility(QAccessibleEvent* event);
// From now on, watcher sees every change the peers tell of (Qt hands its own update handler
// nothing until a tool listens, which no test platform has).
void WatchAccessibility(std::function<void(QAccessibleEvent*)> watcher);

// A kit window: its close box asks the window's thread instead of closing, and so does Escape in
// an application-modal one (a dialog); it keeps the window's model of its focus. An owned window
// is a child of its owner's peer.
class WindowPeer : public QWidget {
    Q_OBJECT
public:
    explicit WindowPeer(const WindowSpec& description);
    // Asks the window's thread to quit (B_QUIT_REQUESTED), as the close box does.
    void AskToQuit();
    // Shows the window: an owned one cascaded over its owner and on its screen.
    void Open();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    const BMessenger fMessenger;
    const std::shared_ptr<std::atomic<bool>> fActive;
};

// A drawn view: keeps a full image of what its view drew, in device pixels, into which it paints
// each piece the view publishes, and repaints only that piece; sends mouse presses to the view,
// its size and device pixel ratio whenever they differ from its view's canvas, and keys and
// focus changes once it is navigable. To assistive tools it may be a table of named cells.
class CanvasPeer : public QWidget {
    Q_OBJECT
public:
    CanvasPeer(QWidget* parent, QSize size, BMessenger target);
    void Paint(QPoint at, const QImage& piece);
    // What assistive tools read: the table's cells, row by row, the focused one (-1: none) and
    // the latest announcement.
    struct Table {
        int columns = 0;
        int rows = 0;
        QStringList names;
        int focus = -1;
        QString announcement;
        QRect area;  // where the cells lie in the view; null: all of it
    };
    const Table& AccessibleTable() const { return fTable; }
    void SetTable(int columns, int rows);
    void SetTableArea(QRect area) { fTable.area = area; }
    void SetCell(int index, const QString& name);
    void SetFocusCell(int index);
    void Announce(const QString& text);
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
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Tells the view when its size or scale on screen is not its canvas's any more.
    void CheckSize();
    // A white image of the canvas's size and scale.
    void NewImage();
    void SendFocus(bool focused);

    const BMessenger fTarget;
    Table fTable;
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

// A text view: shows its shared text, and typing feeds it. Tab moves the focus on, as in the
// rest of a window; Ctrl+Tab types a tab.
class TextEditPeer : public QPlainTextEdit {
    Q_OBJECT
public:
    TextEditPeer(QWidget* parent, std::shared_ptr<SharedText> text, bool editable);
    // Shows what the kit changed since the last look: the new end, or the whole text when whole
    // or when the kit changed more than the end.
    void Update(bool whole);

protected:
    void keyPressEvent(QKeyEvent* event) override;

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
