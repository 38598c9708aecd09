// The peer widgets of windows, views, controls and menus.
#include <QActionGroup>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <cstring>

#include "kit/application/AppDefs.h"
#include "kit/interface/InterfaceDefs.h"
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

template <typename Widget>
void Place(Widget* widget, PeerId id, const ViewSpec& description) {
    widget->setObjectName(QString::fromStdString(description.name));
    widget->setGeometry(ToQRect(description.frame));
    RegisterPeer(id, widget);
    widget->show();
}

}  // namespace

WindowPeer::WindowPeer(const WindowSpec& description) : fMessenger(description.window) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint;
    if (description.type == B_FLOATING_WINDOW)
        flags |= Qt::Tool;
    if (!(description.flags & B_NOT_ZOOMABLE))
        flags |= Qt::WindowMaximizeButtonHint;
    setWindowFlags(flags);
    setWindowTitle(QString::fromStdString(description.title));
    setGeometry(ToQRect(description.frame));
    if (description.flags & B_NOT_RESIZABLE)
        setFixedSize(size());
    setProperty(kWindowProperty, true);
    setAutoFillBackground(true);
}

void WindowPeer::AskToQuit() {
    fMessenger.SendMessage(B_QUIT_REQUESTED);
}

void WindowPeer::closeEvent(QCloseEvent* event) {
    // The window's own thread decides, through QuitRequested.
    event->ignore();
    AskToQuit();
}

CanvasPeer::CanvasPeer(QWidget* parent, QSize size, BMessenger target)
    : QWidget(parent), fTarget(std::move(target)), fImage(size, QImage::Format_RGB32) {
    // As white as the view's own image starts.
    fImage.fill(Qt::white);
}

void CanvasPeer::Paint(QPoint at, const QImage& piece) {
    const QRect place(at, piece.size());
    if (!fImage.rect().contains(place) || piece.format() != fImage.format())
        return;
    // Row by row: a painter would cost more than the copy.
    const int pixelBytes = fImage.depth() / 8;
    for (int row = 0; row < piece.height(); ++row) {
        std::memcpy(fImage.scanLine(at.y() + row) + at.x() * pixelBytes, piece.constScanLine(row),
                    size_t(piece.width()) * pixelBytes);
    }
    ++fPieces;
    fBytes += piece.sizeInBytes();
    update(place);
    emit PiecePainted();
}

void CanvasPeer::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.drawImage(event->rect().topLeft(), fImage, event->rect());
}

void CanvasPeer::mousePressEvent(QMouseEvent* event) {
    BMessage press(B_MOUSE_DOWN);
    press.AddPoint("where", BPoint(static_cast<float>(event->position().x()),
                                   static_cast<float>(event->position().y())));
    press.AddInt32("buttons", static_cast<int32>(event->buttons()));
    press.AddInt64("when", system_time());
    fTarget.SendMessage(&press);
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
            window->show();
            window->activateWindow();
            GiveWindowsTheProgramIcon();
        }
    });
}

void CreateCanvasView(PeerId id, ViewSpec description, BMessenger target) {
    Post([id, description = std::move(description), target = std::move(target)] {
        if (QWidget* parent = ParentWidget(description.parent))
            Place(new CanvasPeer(parent, ToQRect(description.frame).size(), target), id,
                  description);
    });
}

LabelPeer::LabelPeer(QWidget* parent, const std::string& text, rgb_color color)
    : QWidget(parent), fText(QString::fromStdString(text)), fColor(ToQColor(color)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LabelPeer::SetText(const std::string& text) {
    fText = QString::fromStdString(text);
    update();
    emit Changed();
}

void LabelPeer::SetColor(rgb_color color) {
    fColor = ToQColor(color);
    update();
    emit Changed();
}

void LabelPeer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(fColor);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, fText);
}

void CreateLabel(PeerId id, ViewSpec description, std::string text, rgb_color color) {
    Post([id, description = std::move(description), text = std::move(text), color] {
        if (QWidget* parent = ParentWidget(description.parent))
            Place(new LabelPeer(parent, text, color), id, description);
    });
}

void SetLabelText(PeerId id, std::string text) {
    Post([id, text = std::move(text)] {
        if (auto* label = FindPeer<LabelPeer>(id))
            label->SetText(text);
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
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!fSetting)
            fText->Set(toPlainText().toStdString());
    });
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
