// The peer widgets of windows, views, controls and menus.
#include <QAccessible>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextCursor>
#include <algorithm>
#include <cstring>
#include <string>

#include "kit/application/AppDefs.h"
#include "kit/interface/InterfaceDefs.h"
#include "kit/qt/Layout.h"
#include "kit/qt/Peers.h"
#include "kit/qt/Registry.h"

namespace kit::qt {

namespace {

QColor ToQColor(rgb_color color) {
    return QColor(color.red, color.green, color.blue);
}

// A rectangle with inclusive edges as Qt's.
QRect ToQRect(BRect frame) {
    return QRect(static_cast<int>(frame.left), static_cast<int>(frame.top),
                 frame.IntegerWidth() + 1, frame.IntegerHeight() + 1);
}

QWidget* ParentWidget(PeerId parent) {
    return FindPeer<QWidget>(parent);
}

// The layout that places parent's child views; a view's is made with its first child.
FrameLayout* ChildLayout(QWidget* parent) {
    if (auto* layout = dynamic_cast<FrameLayout*>(parent->layout()))
        return layout;
    return new FrameLayout(parent, parent->size());
}

template <typename Widget>
void Place(Widget* widget, PeerId id, const ViewSpec& description) {
    widget->setObjectName(QString::fromStdString(description.name));
    widget->setGeometry(ToQRect(description.frame));
    ChildLayout(widget->parentWidget())
        ->AddView(widget, ToQRect(description.frame), description.resizingMode);
    RegisterPeer(id, widget);
    widget->show();
}

// Whether a palette is dark: a label's own colour is lightened on it so that it reads there, its
// hue kept (the clock stays red or blue).
bool IsDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

// Moves a window that would show partly off its screen onto it, title bar included.
void KeepOnScreen(QWidget* window) {
    QScreen* screen = QGuiApplication::screenAt(window->geometry().center());
    if (screen == nullptr)
        screen = window->screen();
    if (screen == nullptr)
        return;
    const QRect available = screen->availableGeometry();
    const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    QRect frame = window->geometry().adjusted(0, -title, 0, 0);
    if (available.contains(frame))
        return;
    frame.moveLeft(std::clamp(frame.left(), available.left(),
                              std::max(available.left(), available.right() + 1 - frame.width())));
    frame.moveTop(std::clamp(frame.top(), available.top(),
                             std::max(available.top(), available.bottom() + 1 - frame.height())));
    window->setGeometry(frame.adjusted(0, title, 0, 0));
}

// What KeyDown gets for a key: its code for a key without a character, else its character
// (empty for a key the kit does not pass on, such as a lone modifier).
std::string KeyBytes(const QKeyEvent* event) {
    for (const auto& [key, code] : kKeyCodes) {
        if (event->key() == key)
            return std::string(1, code);
    }
    const QString text = event->text();
    return text.isEmpty() || !text.at(0).isPrint() ? std::string() : text.toStdString();
}

int32 KitModifiers(Qt::KeyboardModifiers modifiers) {
    int32 kit = 0;
    if (modifiers & Qt::ShiftModifier)
        kit |= B_SHIFT_KEY;
    if (modifiers & Qt::ControlModifier)
        kit |= B_COMMAND_KEY | B_CONTROL_KEY;
    if (modifiers & Qt::AltModifier)
        kit |= B_OPTION_KEY;
    return kit;
}

// Tells assistive tools, when one listens, that what of the table's cell index changed.
void NotifyCell(QWidget* widget, QAccessible::Event what, int index) {
    if (!AccessibilityListening() || index < 0)
        return;
    QAccessibleEvent event(widget, what);
    event.setChild(index);
    TellAccessibility(&event);
}

}  // namespace

WindowPeer::WindowPeer(const WindowSpec& description)
    : fMessenger(description.window), fActive(description.active) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint;
    if (description.type == B_FLOATING_WINDOW)
        flags |= Qt::Tool;
    if (!(description.flags & B_NOT_ZOOMABLE))
        flags |= Qt::WindowMaximizeButtonHint;
    setWindowFlags(flags);
    setWindowTitle(QString::fromStdString(description.title));
    setGeometry(ToQRect(description.frame));
    // The views' frames are the window's design; the style may ask for more (FrameLayout).
    auto* layout = new FrameLayout(this, size());
    layout->setSizeConstraint((description.flags & B_NOT_RESIZABLE) ? QLayout::SetFixedSize
                                                                    : QLayout::SetMinimumSize);
    setProperty(kWindowProperty, true);
    setAutoFillBackground(true);
    // Shown without the focus: the window manager is asked not to activate it.
    setAttribute(Qt::WA_ShowWithoutActivating, (description.flags & B_OPEN_WITHOUT_FOCUS) != 0);
}

void WindowPeer::Open() {
    // The size the style asks for first, then a place where all of it shows.
    layout()->activate();
    resize(size().expandedTo(layout()->minimumSize()));
    if (QWidget* owner = parentWidget()) {
        // Cascaded by the owner's other windows on screen, so that none hides another; a window
        // that would reach past the owner's screen is moved back onto it.
        int others = 0;
        for (auto* sibling : owner->findChildren<WindowPeer*>(Qt::FindDirectChildrenOnly))
            others += sibling != this && sibling->isVisible();
        const int offset = 40 + 24 * (others % 8);
        QRect place(owner->geometry().topLeft() + QPoint(offset, offset), size());
        if (const QScreen* screen = owner->screen()) {
            const QRect available = screen->availableGeometry();
            place.moveRight(std::min(place.right(), available.right()));
            place.moveBottom(std::min(place.bottom(), available.bottom()));
            place.moveLeft(std::max(place.left(), available.left()));
            place.moveTop(std::max(place.top(), available.top()));
        }
        setGeometry(place);
    } else {
        KeepOnScreen(this);
    }
    show();
    if (!testAttribute(Qt::WA_ShowWithoutActivating))
        activateWindow();
}

void WindowPeer::AskToQuit() {
    fMessenger.SendMessage(B_QUIT_REQUESTED);
}

void WindowPeer::closeEvent(QCloseEvent* event) {
    // The window's own thread decides, through QuitRequested.
    event->ignore();
    AskToQuit();
}

void WindowPeer::keyPressEvent(QKeyEvent* event) {
    // A key no view of the window took: Escape closes a dialog as its close box does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
        windowModality() == Qt::ApplicationModal) {
        AskToQuit();
        return;
    }
    QWidget::keyPressEvent(event);
}

void WindowPeer::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (fActive != nullptr)
        fActive->store(isActiveWindow());
}

CanvasPeer::CanvasPeer(QWidget* parent, QSize size, BMessenger target)
    : QWidget(parent), fTarget(std::move(target)), fKitSize(size) {
    NewImage();
}

void CanvasPeer::NewImage() {
    fImage = QImage(fKitSize * fKitScale, QImage::Format_RGB32);
    fImage.setDevicePixelRatio(fKitScale);
    // As white as the view's own image starts.
    fImage.fill(Qt::white);
}

void CanvasPeer::CheckSize() {
    const qreal scale = devicePixelRatioF();
    if (size() == fKitSize && scale == fKitScale)
        return;
    // The view draws anew at this size and scale; until it has, the view shows white.
    fKitSize = size();
    fKitScale = scale;
    NewImage();
    BMessage resized(kViewResized);
    resized.AddInt32("width", fKitSize.width());
    resized.AddInt32("height", fKitSize.height());
    resized.AddInt32("scale", qRound(fKitScale * 1000));
    fTarget.SendMessage(&resized);
}

void CanvasPeer::resizeEvent(QResizeEvent*) {
    CheckSize();
}

void CanvasPeer::Paint(QPoint at, const QImage& piece) {
    const QRect place(at, piece.size());
    // A piece drawn before the view learnt its new scale does not belong in this image.
    if (!fImage.rect().contains(place) || piece.format() != fImage.format() ||
        piece.devicePixelRatio() != fImage.devicePixelRatio())
        return;
    // Row by row: a painter would cost more than the copy.
    const int pixelBytes = fImage.depth() / 8;
    for (int row = 0; row < piece.height(); ++row) {
        std::memcpy(fImage.scanLine(at.y() + row) + at.x() * pixelBytes, piece.constScanLine(row),
                    size_t(piece.width()) * pixelBytes);
    }
    ++fPieces;
    fBytes += piece.sizeInBytes();
    // The piece is in device pixels, the repaint in the widget's.
    const qreal scale = fImage.devicePixelRatio();
    update(QRectF(QPointF(place.topLeft()) / scale, QSizeF(place.size()) / scale).toAlignedRect());
    emit PiecePainted();
}

void CanvasPeer::paintEvent(QPaintEvent* event) {
    // A move to a screen of another scale shows first as a paint.
    CheckSize();
    QPainter painter(this);
    const QRect area = event->rect();
    const qreal scale = fImage.devicePixelRatio();
    painter.drawImage(QRectF(area), fImage,
                      QRectF(QPointF(area.topLeft()) * scale, QSizeF(area.size()) * scale));
}

void CanvasPeer::mousePressEvent(QMouseEvent* event) {
    BMessage press(B_MOUSE_DOWN);
    press.AddPoint("where", BPoint(static_cast<float>(event->position().x()),
                                   static_cast<float>(event->position().y())));
    press.AddInt32("buttons", static_cast<int32>(event->buttons()));
    press.AddInt64("when", system_time());
    fTarget.SendMessage(&press);
}

void CanvasPeer::keyPressEvent(QKeyEvent* event) {
    const std::string bytes = KeyBytes(event);
    if (bytes.empty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    BMessage key(B_KEY_DOWN);
    key.AddString("bytes", bytes.c_str());
    key.AddInt32("modifiers", KitModifiers(event->modifiers()));
    key.AddInt64("when", system_time());
    fTarget.SendMessage(&key);
}

void CanvasPeer::SendFocus(bool focused) {
    BMessage focus(kFocusChanged);
    focus.AddInt32("focus", focused ? 1 : 0);
    fTarget.SendMessage(&focus);
}

void CanvasPeer::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    SendFocus(true);
    NotifyCell(this, QAccessible::Focus, fTable.focus);
}

void CanvasPeer::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    SendFocus(false);
}

void CanvasPeer::SetTable(int columns, int rows) {
    fTable.columns = columns;
    fTable.rows = rows;
    fTable.names = QStringList(columns * rows);
    fTable.focus = -1;
    if (AccessibilityListening()) {
        QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::ModelReset);
        TellAccessibility(&event);
    }
}

void CanvasPeer::SetCell(int index, const QString& name) {
    if (index < 0 || index >= fTable.names.size())
        return;
    fTable.names[index] = name;
    NotifyCell(this, QAccessible::NameChanged, index);
}

void CanvasPeer::SetFocusCell(int index) {
    if (index == fTable.focus || index >= fTable.names.size())
        return;
    fTable.focus = index;
    if (hasFocus())
        NotifyCell(this, QAccessible::Focus, index);
}

void CanvasPeer::Announce(const QString& text) {
    fTable.announcement = text;
    if (AccessibilityListening()) {
        QAccessibleEvent event(this, QAccessible::DescriptionChanged);
        TellAccessibility(&event);
    }
}

void SetNavigable(PeerId id) {
    Post([id] {
        if (auto* canvas = FindPeer<CanvasPeer>(id))
            canvas->setFocusPolicy(Qt::StrongFocus);
    });
}

void SetAccessibleName(PeerId id, std::string name) {
    Post([id, name = std::move(name)] {
        QWidget* widget = FindPeer<QWidget>(id);
        if (auto* line = qobject_cast<LineEditPeer*>(widget))
            widget = line->Edit();
        if (widget != nullptr)
            widget->setAccessibleName(QString::fromStdString(name));
    });
}

void SetAccessibleTableArea(PeerId id, BRect area) {
    Post([id, area] {
        if (auto* canvas = FindPeer<CanvasPeer>(id))
            canvas->SetTableArea(ToQRect(area));
    });
}

void SetAccessibleTable(PeerId id, int32 columns, int32 rows) {
    Post([id, columns, rows] {
        if (auto* canvas = FindPeer<CanvasPeer>(id))
            canvas->SetTable(columns, rows);
    });
}

void SetAccessibleCell(PeerId id, int32 index, std::string name) {
    Post([id, index, name = std::move(name)] {
        if (auto* canvas = FindPeer<CanvasPeer>(id))
            canvas->SetCell(index, QString::fromStdString(name));
    });
}

void SetAccessibleFocusCell(PeerId id, int32 index) {
    Post([id, index] {
        if (auto* canvas = FindPeer<CanvasPeer>(id))
            canvas->SetFocusCell(index);
    });
}

void Announce(PeerId id, std::string text) {
    Post([id, text = std::move(text)] {
        if (auto* canvas = FindPeer<CanvasPeer>(id))
            canvas->Announce(QString::fromStdString(text));
    });
}

void AddShortcut(PeerId window, char key, uint32 modifiers, BMessage message, BMessenger target) {
    Post([=] {
        auto* peer = FindPeer<WindowPeer>(window);
        if (peer == nullptr)
            return;
        Qt::KeyboardModifiers held = Qt::ControlModifier;
        if (modifiers & B_SHIFT_KEY)
            held |= Qt::ShiftModifier;
        if (modifiers & B_OPTION_KEY)
            held |= Qt::AltModifier;
        QList<QKeySequence> keys;
        if (key == B_ENTER) {
            keys = {QKeyCombination(held, Qt::Key_Return), QKeyCombination(held, Qt::Key_Enter)};
        } else {
            keys = {QKeyCombination(held, Qt::Key(QChar(key).toUpper().unicode()))};
        }
        auto* action = new QAction(peer);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        peer->addAction(action);
        QObject::connect(action, &QAction::triggered, action,
                         [message, target] { target.SendMessage(&message); });
    });
}

void CreateWindow(PeerId id, WindowSpec description) {
    Post([id, description = std::move(description)] {
        RegisterPeer(id, new WindowPeer(description));
    });
}

void SetWindowTitle(PeerId id, std::string title) {
    Post([id, title = std::move(title)] {
        if (auto* window = FindPeer<WindowPeer>(id))
            window->setWindowTitle(QString::fromStdString(title));
    });
}

void SetWindowModal(PeerId id, bool modal) {
    Post([id, modal] {
        if (auto* window = FindPeer<WindowPeer>(id))
            window->setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
    });
}

void ShowWindow(PeerId id) {
    Post([id] {
        if (auto* window = FindPeer<WindowPeer>(id)) {
            window->Open();
            GiveWindowsTheProgramIcon();
        }
    });
}

void SetWindowOwner(PeerId id, PeerId owner) {
    Post([id, owner] {
        auto* window = FindPeer<WindowPeer>(id);
        auto* ownerPeer = FindPeer<WindowPeer>(owner);
        // A top-level child: Qt makes it transient for its owner.
        if (window != nullptr && ownerPeer != nullptr)
            window->setParent(ownerPeer, window->windowFlags());
    });
}

void RequestAttention(PeerId id) {
    Post([id] {
        if (auto* window = FindPeer<WindowPeer>(id))
            QApplication::alert(window);
    });
}

void CreateCanvasView(PeerId id, ViewSpec description, BMessenger target) {
    Post([id, description = std::move(description), target = std::move(target)] {
        if (QWidget* parent = ParentWidget(description.parent))
            Place(new CanvasPeer(parent, ToQRect(description.frame).size(), target), id,
                  description);
    });
}

LabelPeer::LabelPeer(QWidget* parent, const std::string& text, std::optional<rgb_color> color)
    : QWidget(parent), fText(QString::fromStdString(text)), fHintText(fText) {
    if (color)
        fColor = ToQColor(*color);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QColor LabelPeer::Color() const {
    if (!fColor)
        return palette().color(QPalette::WindowText);
    return IsDark(palette()) ? fColor->lighter(160) : *fColor;
}

QSize LabelPeer::sizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(fHintText), fontMetrics().height());
}

void LabelPeer::SetText(const std::string& text, bool fitToRoom) {
    const QString next = QString::fromStdString(text);
    // The clock's seconds are as wide as the last ones: no layout for them.
    if (!fitToRoom &&
        fontMetrics().horizontalAdvance(next) != fontMetrics().horizontalAdvance(fHintText))
        updateGeometry();
    if (!fitToRoom)
        fHintText = next;
    fText = next;
    setToolTip(fitToRoom ? fText : QString());
    update();
    // Its text is its name to assistive tools.
    if (AccessibilityListening()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        TellAccessibility(&event);
    }
    emit Changed();
}

void LabelPeer::SetColor(rgb_color color) {
    fColor = ToQColor(color);
    update();
    emit Changed();
}

void LabelPeer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(Color());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     fontMetrics().elidedText(fText, Qt::ElideRight, width()));
}

void CreateLabel(PeerId id, ViewSpec description, std::string text,
                 std::optional<rgb_color> color) {
    Post([id, description = std::move(description), text = std::move(text), color] {
        if (QWidget* parent = ParentWidget(description.parent))
            Place(new LabelPeer(parent, text, color), id, description);
    });
}

void SetLabelText(PeerId id, std::string text, bool fitToRoom) {
    Post([id, text = std::move(text), fitToRoom] {
        if (auto* label = FindPeer<LabelPeer>(id))
            label->SetText(text, fitToRoom);
    });
}

void SetLabelColor(PeerId id, rgb_color color) {
    Post([id, color] {
        if (auto* label = FindPeer<LabelPeer>(id))
            label->SetColor(color);
    });
}

LineEditPeer::LineEditPeer(QWidget* parent, const std::string& label, float divider,
                           std::shared_ptr<SharedText> text, BMessage invoke, BMessenger window)
    : QWidget(parent),
      fLabel(new QLabel(QString::fromStdString(label), this)),
      fEdit(new QLineEdit(QString::fromStdString(text->Get()), this)),
      fText(std::move(text)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(fLabel);
    layout->addWidget(fEdit, 1);
    SetDivider(divider);
    connect(fEdit, &QLineEdit::textEdited, this,
            [this](const QString& typed) { fText->Set(typed.toStdString()); });
    connect(
        fEdit, &QLineEdit::returnPressed, this,
        [invoke = std::move(invoke), window = std::move(window)] { window.SendMessage(&invoke); });
}

void LineEditPeer::SetDivider(float divider) {
    fLabel->setFixedWidth(static_cast<int>(divider));
    fLabel->setVisible(divider > 0);
}

void CreateLineEdit(PeerId id, ViewSpec description, std::string label, float divider,
                    std::shared_ptr<SharedText> text, BMessage invoke, BMessenger window) {
    Post([=, description = std::move(description)] {
        if (QWidget* parent = ParentWidget(description.parent))
            Place(new LineEditPeer(parent, label, divider, text, invoke, window), id, description);
    });
}

void SetLineEditText(PeerId id, std::string text) {
    Post([id, text = std::move(text)] {
        if (auto* peer = FindPeer<LineEditPeer>(id))
            peer->Edit()->setText(QString::fromStdString(text));
    });
}

void SetDivider(PeerId id, float divider) {
    Post([id, divider] {
        if (auto* peer = FindPeer<LineEditPeer>(id))
            peer->SetDivider(divider);
    });
}

void CreateButton(PeerId id, ViewSpec description, std::string label, BMessage invoke,
                  BMessenger window) {
    Post([=, description = std::move(description)] {
        QWidget* parent = ParentWidget(description.parent);
        if (parent == nullptr)
            return;
        auto* button = new QPushButton(QString::fromStdString(label), parent);
        button->setAutoDefault(false);
        QObject::connect(button, &QPushButton::clicked, button,
                         [invoke, window] { window.SendMessage(&invoke); });
        Place(button, id, description);
    });
}

void SetButtonLabel(PeerId id, std::string label) {
    Post([id, label = std::move(label)] {
        if (auto* button = FindPeer<QPushButton>(id))
            button->setText(QString::fromStdString(label));
    });
}

TextEditPeer::TextEditPeer(QWidget* parent, std::shared_ptr<SharedText> text, bool editable)
    : QPlainTextEdit(parent), fText(std::move(text)) {
    Update(true);
    setReadOnly(!editable);
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!fSetting)
            fText->Set(toPlainText().toStdString());
    });
}

void TextEditPeer::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Tab && event->modifiers() == Qt::ControlModifier) {
        if (!isReadOnly())
            insertPlainText(QStringLiteral("\t"));
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TextEditPeer::Update(bool whole) {
    SharedText::Update update = fText->TakeUpdate(whole);
    if (!update.whole && update.text.empty())
        return;
    // The kit changed this text itself: typing alone feeds the shared text.
    fSetting = true;
    if (update.whole) {
        setPlainText(QString::fromStdString(update.text));
    } else {
        // All that came since the last look goes in at once: one layout of the new lines.
        QTextCursor end(document());
        end.movePosition(QTextCursor::End);
        end.insertText(QString::fromStdString(update.text));
    }
    fSetting = false;
}

void CreateTextEdit(PeerId id, ViewSpec description, std::shared_ptr<SharedText> text,
                    bool editable) {
    Post([=, description = std::move(description)] {
        if (QWidget* parent = ParentWidget(description.parent))
            Place(new TextEditPeer(parent, text, editable), id, description);
    });
}

void UpdateTextEdit(PeerId id) {
    Post([id] {
        if (auto* edit = FindPeer<TextEditPeer>(id))
            edit->Update(false);
    });
}

void SetTextEditEditable(PeerId id, bool editable) {
    Post([id, editable] {
        if (auto* edit = FindPeer<TextEditPeer>(id))
            edit->setReadOnly(!editable);
    });
}

void SetVerticalScrollBar(PeerId id, BRect frame) {
    Post([id, frame] {
        auto* edit = FindPeer<TextEditPeer>(id);
        if (edit == nullptr)
            return;
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit->setGeometry(ToQRect(frame));
        if (auto* layout = dynamic_cast<FrameLayout*>(edit->parentWidget()->layout()))
            layout->SetFrame(edit, ToQRect(frame));
    });
}

ListPeer::ListPeer(QWidget* parent, const std::vector<std::string>& items, BMessage invoke,
                   BMessenger window)
    : QListWidget(parent), fInvoke(std::move(invoke)), fWindow(std::move(window)) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    for (const std::string& text : items)
        Insert(count(), text);
    connect(this, &QListWidget::activated, this, [this](const QModelIndex& index) {
        BMessage chosen(fInvoke);
        chosen.AddInt32("index", index.row());
        fWindow.SendMessage(&chosen);
    });
}

void ListPeer::Insert(int32 index, const std::string& text) {
    insertItem(index, QString::fromStdString(text));
    if (currentRow() < 0)
        setCurrentRow(0);
}

void CreateListView(PeerId id, ViewSpec description, std::vector<std::string> items,
                    BMessage invoke, BMessenger window) {
    Post([=, description = std::move(description)] {
        if (QWidget* parent = ParentWidget(description.parent))
            Place(new ListPeer(parent, items, invoke, window), id, description);
    });
}

void InsertListItem(PeerId id, int32 index, std::string text) {
    Post([id, index, text = std::move(text)] {
        if (auto* list = FindPeer<ListPeer>(id))
            list->Insert(index, text);
    });
}

void RemoveListItem(PeerId id, int32 index) {
    Post([id, index] {
        if (auto* list = FindPeer<ListPeer>(id))
            delete list->takeItem(index);
    });
}

void ClearList(PeerId id) {
    Post([id] {
        if (auto* list = FindPeer<ListPeer>(id))
            list->clear();
    });
}

void SetListInvocation(PeerId id, BMessage invoke) {
    Post([id, invoke = std::move(invoke)] {
        if (auto* list = FindPeer<ListPeer>(id))
            list->SetInvocation(invoke);
    });
}

void CreateContainer(PeerId id, ViewSpec description) {
    Post([id, description = std::move(description)] {
        if (QWidget* parent = ParentWidget(description.parent))
            Place(new QWidget(parent), id, description);
    });
}

void SetEnabled(PeerId id, bool enabled) {
    Post([id, enabled] {
        if (auto* widget = FindPeer<QWidget>(id))
            widget->setEnabled(enabled);
    });
}

void Focus(PeerId id) {
    Post([id] {
        QWidget* widget = FindPeer<QWidget>(id);
        if (auto* lineEdit = qobject_cast<LineEditPeer*>(widget))
            widget = lineEdit->Edit();
        if (widget != nullptr)
            widget->setFocus(Qt::OtherFocusReason);
    });
}

namespace {

// Adds the items to menu, submenus included; a radio menu's items form one exclusive group.
void AddMenuItems(QMenu* menu, const std::vector<MenuItemSpec>& items, bool radio,
                  const BMessenger& window) {
    QActionGroup* group = nullptr;
    if (radio) {
        group = new QActionGroup(menu);
        group->setExclusive(true);
    }
    for (const MenuItemSpec& item : items) {
        if (item.label.empty()) {
            RegisterPeer(item.id, menu->addSeparator());
            continue;
        }
        if (!item.submenu.empty()) {
            QMenu* submenu = menu->addMenu(QString::fromStdString(item.label));
            // What assistive tools call the menu when it opens.
            submenu->setAccessibleName(submenu->title());
            submenu->menuAction()->setEnabled(item.enabled);
            AddMenuItems(submenu, item.submenu, item.radio, window);
            RegisterPeer(item.id, submenu->menuAction());
            continue;
        }
        QAction* action = menu->addAction(QString::fromStdString(item.label));
        action->setEnabled(item.enabled);
        action->setCheckable(radio || item.marked);
        action->setChecked(item.marked);
        if (group != nullptr)
            group->addAction(action);
        if (item.shortcut != 0)
            action->setShortcut(
                QKeySequence(QKeyCombination(Qt::ControlModifier, Qt::Key(item.shortcut))));
        QObject::connect(action, &QAction::triggered, action,
                         [message = item.message, window] { window.SendMessage(&message); });
        RegisterPeer(item.id, action);
    }
}

}  // namespace

void CreateMenuBar(PeerId id, ViewSpec description, std::vector<MenuSpec> menus,
                   BMessenger window) {
    Post([id, description = std::move(description), menus = std::move(menus),
          window = std::move(window)] {
        QWidget* parent = ParentWidget(description.parent);
        if (parent == nullptr)
            return;
        auto* bar = new QMenuBar(parent);
        bar->setNativeMenuBar(false);
        for (const MenuSpec& menuSpec : menus) {
            QMenu* menu = bar->addMenu(QString::fromStdString(menuSpec.title));
            menu->setAccessibleName(menu->title());
            AddMenuItems(menu, menuSpec.items, menuSpec.radio, window);
        }
        Place(bar, id, description);
    });
}

void SetMenuItemEnabled(PeerId item, bool enabled) {
    Post([item, enabled] {
        if (auto* action = FindPeer<QAction>(item))
            action->setEnabled(enabled);
    });
}

void SetMenuItemMarked(PeerId item, bool marked) {
    Post([item, marked] {
        if (auto* action = FindPeer<QAction>(item)) {
            action->setCheckable(true);
            action->setChecked(marked);
        }
    });
}

}  // namespace kit::qt
