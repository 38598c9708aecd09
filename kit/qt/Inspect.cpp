#include "kit/qt/Inspect.h"

#include <qpa/qplatformbackingstore.h>
#include <qpa/qplatformwindow.h>
#include <qpa/qwindowsysteminterface.h>
#include <QAccessible>
#include <QApplication>
#include <QBackingStore>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMetaEnum>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QTextDocument>
#include <QTimer>
#include <QWindow>
#include <mutex>

#include "kit/application/Port.h"
#include "kit/qt/Layout.h"
#include "kit/qt/Peers.h"
#include "kit/qt/Registry.h"

namespace kit::qt::inspect {

namespace {

std::string Std(const QString& text) {
    return text.toStdString();
}

rgb_color ToRgb(const QColor& color) {
    return rgb_color{static_cast<uint8>(color.red()), static_cast<uint8>(color.green()),
                     static_cast<uint8>(color.blue()), 255};
}

QWidget* FindWindowWidget(const std::string& title, size_t nth = 0) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->property(kWindowProperty).toBool() && widget->isVisible() &&
            Std(widget->windowTitle()) == title && nth-- == 0)
            return widget;
    }
    return nullptr;
}

QWidget* FindView(const std::string& window, const std::string& view) {
    QWidget* top = FindWindowWidget(window);
    return top ? top->findChild<QWidget*>(QString::fromStdString(view)) : nullptr;
}

ViewInfo Describe(QWidget* widget, QWidget* window) {
    ViewInfo info{Std(widget->objectName()), "container", "",    {0, 0, 0, 255},
                  widget->isEnabled(),       false,       false, {}};
    QPoint origin = widget->mapTo(window, QPoint(0, 0));
    info.frame = BRect(origin.x(), origin.y(), origin.x() + widget->width() - 1,
                       origin.y() + widget->height() - 1);
    if (const QSize hint = StyleHint(widget); hint.isValid()) {
        info.hintWidth = hint.width();
        info.hintHeight = hint.height();
    }
    QWidget* focus = window->focusWidget();
    info.focused = focus != nullptr && (focus == widget || widget->isAncestorOf(focus));
    if (qobject_cast<CanvasPeer*>(widget)) {
        info.kind = "canvas";
    } else if (auto* label = qobject_cast<LabelPeer*>(widget)) {
        info.kind = "label";
        info.text = Std(label->Text());
        info.color = ToRgb(label->Color());
    } else if (auto* line = qobject_cast<LineEditPeer*>(widget)) {
        info.kind = "textcontrol";
        info.text = Std(line->Edit()->text());
        info.editable = line->isEnabled() && !line->Edit()->isReadOnly();
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        info.kind = "button";
        info.text = Std(button->text());
    } else if (auto* edit = qobject_cast<TextEditPeer*>(widget)) {
        info.kind = "textview";
        info.text = Std(edit->toPlainText());
        info.editable = !edit->isReadOnly();
    } else if (auto* list = qobject_cast<ListPeer*>(widget)) {
        info.kind = "list";
        QStringList items;
        for (int row = 0; row < list->count(); ++row)
            items.push_back(list->item(row)->text());
        info.text = Std(items.join('\n'));
    } else if (qobject_cast<QMenuBar*>(widget)) {
        info.kind = "menubar";
    }
    return info;
}

std::vector<MenuItemInfo> MenuItems(const QMenu* menu) {
    std::vector<MenuItemInfo> items;
    for (QAction* action : menu->actions()) {
        items.push_back(
            {action->isSeparator() ? "" : Std(action->text()),
             Std(action->shortcut().toString(QKeySequence::PortableText)), action->isEnabled(),
             action->isChecked(),
             action->menu() != nullptr ? MenuItems(action->menu()) : std::vector<MenuItemInfo>{}});
    }
    return items;
}

// The first action so labelled in menu or its submenus.
QAction* FindAction(const QMenu* menu, const std::string& label) {
    for (QAction* action : menu->actions()) {
        if (action->menu() != nullptr) {
            if (QAction* found = FindAction(action->menu(), label))
                return found;
        } else if (!action->isSeparator() && Std(action->text()) == label) {
            return action;
        }
    }
    return nullptr;
}

std::string RoleName(QAccessible::Role role) {
    const char* key = QMetaEnum::fromType<QAccessible::Role>().valueToKey(role);
    return key != nullptr ? key : std::to_string(role);
}

AccessibleNode DescribeAccessible(QAccessibleInterface* node) {
    AccessibleNode info{RoleName(node->role()),
                        Std(node->text(QAccessible::Name)),
                        Std(node->text(QAccessible::Description)),
                        bool(node->state().focused),
                        {}};
    for (int index = 0; index < node->childCount(); ++index) {
        if (QAccessibleInterface* child = node->child(index))
            info.children.push_back(DescribeAccessible(child));
    }
    return info;
}

// What WatchAccessibility records into, while a test watches.
std::shared_ptr<std::vector<AccessibleEventInfo>> gAccessibleEvents;

void RecordAccessibleEvent(QAccessibleEvent* event) {
    QAccessibleInterface* about = event->accessibleInterface();
    if (gAccessibleEvents == nullptr || about == nullptr)
        return;
    const char* what = QMetaEnum::fromType<QAccessible::Event>().valueToKey(event->type());
    gAccessibleEvents->push_back({what != nullptr ? what : std::to_string(event->type()),
                                  RoleName(about->role()), Std(about->text(QAccessible::Name)),
                                  Std(about->text(QAccessible::Description))});
}

}  // namespace

void ProcessEvents() {
    // Qt's timed processEvents never waits, so a test waiting with it would spin; a timer bounds
    // this wait instead.
    QTimer bound;
    bound.setSingleShot(true);
    bound.start(5);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void AdvanceClock(bigtime_t microseconds) {
    kit::AdvanceClock(microseconds);
    kit::Port::WakeOwners();
}

bool SetLook(const std::string& style, int pointSize, bool dark) {
    QStyle* made = QStyleFactory::create(QString::fromStdString(style));
    if (made == nullptr)
        return false;
    QApplication::setStyle(made);
    QFont font = QApplication::font();
    font.setPointSize(pointSize);
    QApplication::setFont(font);
    QPalette palette = made->standardPalette();
    if (dark) {
        for (auto [role, color] : {std::pair{QPalette::Window, QColor(0x30, 0x30, 0x30)},
                                   {QPalette::WindowText, QColor(0xee, 0xee, 0xee)},
                                   {QPalette::Base, QColor(0x20, 0x20, 0x20)},
                                   {QPalette::Text, QColor(0xee, 0xee, 0xee)},
                                   {QPalette::Button, QColor(0x38, 0x38, 0x38)},
                                   {QPalette::ButtonText, QColor(0xee, 0xee, 0xee)}})
            palette.setColor(role, color);
    }
    QApplication::setPalette(palette);
    return true;
}

const ViewInfo* WindowInfo::View(const std::string& name) const {
    for (const ViewInfo& view : views) {
        if (view.name == name)
            return &view;
    }
    return nullptr;
}

std::vector<WindowInfo> Windows() {
    std::vector<WindowInfo> windows;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->property(kWindowProperty).toBool() || !top->isVisible())
            continue;
        QRect content = top->geometry();
        const QPlatformWindow* platform =
            top->windowHandle() ? top->windowHandle()->handle() : nullptr;
        WindowInfo info{Std(top->windowTitle()),
                        BRect(content.x(), content.y(), content.right(), content.bottom()),
                        top->minimumSize() != top->maximumSize(),
                        bool(top->windowFlags() & Qt::WindowMaximizeButtonHint),
                        top->windowModality() == Qt::ApplicationModal,
                        bool((top->windowFlags() & Qt::Tool) == Qt::Tool),
                        top->isActiveWindow(),
                        platform != nullptr && platform->isAlertState(),
                        top->parentWidget() ? Std(top->parentWidget()->windowTitle()) : "",
                        {},
                        {},
                        {},
                        top->devicePixelRatioF()};
        if (QScreen* screen = top->screen()) {
            const QRect area = screen->availableGeometry();
            info.screen = BRect(area.left(), area.top(), area.right(), area.bottom());
        }
        for (QWidget* child : top->findChildren<QWidget*>()) {
            if (child->objectName().isEmpty() || child->parent() == nullptr)
                continue;
            // The parts of a control are not views of their own.
            if (qobject_cast<LineEditPeer*>(child->parentWidget()))
                continue;
            info.views.push_back(Describe(child, top));
        }
        if (auto* bar = top->findChild<QMenuBar*>()) {
            for (QAction* menuAction : bar->actions()) {
                const QRect place = bar->actionGeometry(menuAction);
                info.menus.push_back({Std(menuAction->text()), MenuItems(menuAction->menu()),
                                      !place.isEmpty() && bar->rect().contains(place)});
            }
        }
        windows.push_back(std::move(info));
    }
    return windows;
}

std::optional<WindowInfo> FindWindow(const std::string& title) {
    for (WindowInfo& window : Windows()) {
        if (window.title == title)
            return std::move(window);
    }
    return std::nullopt;
}

std::vector<AlertInfo> Alerts() {
    std::vector<AlertInfo> alerts;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->property(kAlertProperty).toBool() || !top->isVisible())
            continue;
        auto* text = top->findChild<QLabel*>("text");
        QTextDocument document;
        document.setHtml(text->text());
        AlertInfo info{Std(top->windowTitle()), Std(document.toPlainText()), Std(text->text()), {}};
        for (QPushButton* button : top->findChildren<QPushButton*>())
            info.buttons.push_back(Std(button->text()));
        alerts.push_back(std::move(info));
    }
    return alerts;
}

bool PressAlertButton(const std::string& title, const std::string& label) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->property(kAlertProperty).toBool() || !top->isVisible() ||
            Std(top->windowTitle()) != title)
            continue;
        for (QPushButton* button : top->findChildren<QPushButton*>()) {
            if (Std(button->text()) == label) {
                button->click();
                return true;
            }
        }
    }
    return false;
}

bool DismissAlert(const std::string& title, bool closeBox) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->property(kAlertProperty).toBool() || !top->isVisible() ||
            Std(top->windowTitle()) != title || top->windowHandle() == nullptr)
            continue;
        if (closeBox) {
            QWindowSystemInterface::handleCloseEvent(top->windowHandle());
            QWindowSystemInterface::flushWindowSystemEvents();
        } else {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(top->focusWidget() ? top->focusWidget() : top, &press);
        }
        return true;
    }
    return false;
}

bool ChooseFile(const std::string& path) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QFileDialog*>(top);
        if (dialog == nullptr || !dialog->isVisible())
            continue;
        // Typed into the name field, as a user does: the dialog puts a file it is told to select
        // there only while the field has no focus.
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (name == nullptr)
            return false;
        name->setText(QString::fromStdString(path));
        static_cast<QDialog*>(dialog)->accept();  // as its button does
        return true;
    }
    return false;
}

bool Click(const std::string& window, BPoint where) {
    QWidget* top = FindWindowWidget(window);
    if (top == nullptr)
        return false;
    QPoint point(static_cast<int>(where.x), static_cast<int>(where.y));
    QWidget* target = top->childAt(point);
    if (target == nullptr)
        target = top;
    QPointF local = target->mapFrom(top, point);
    QMouseEvent press(QEvent::MouseButtonPress, local, target->mapToGlobal(local), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, target->mapToGlobal(local),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
    return true;
}

bool TriggerMenuItem(const std::string& window, const std::string& item) {
    QWidget* top = FindWindowWidget(window);
    auto* bar = top ? top->findChild<QMenuBar*>() : nullptr;
    if (bar == nullptr)
        return false;
    for (QAction* menuAction : bar->actions()) {
        if (QAction* action = FindAction(menuAction->menu(), item)) {
            if (!action->isEnabled())
                return false;
            action->trigger();
            return true;
        }
    }
    return false;
}

bool PressButton(const std::string& window, const std::string& view) {
    auto* button = qobject_cast<QPushButton*>(FindView(window, view));
    if (button == nullptr || !button->isEnabled())
        return false;
    button->click();
    return true;
}

bool PressKey(const std::string& window, char key, uint32 modifiers) {
    QWidget* top = FindWindowWidget(window);
    if (top == nullptr || top->windowHandle() == nullptr)
        return false;
    // Qt drops a key for a window a modal box blocks, also for a moment after the box has gone.
    if (QWindow* modal = QGuiApplication::modalWindow();
        modal != nullptr && modal != top->windowHandle())
        return false;
    int qtKey = QChar(key).toUpper().unicode();
    // The first key of a code: Return for B_ENTER.
    for (auto code = std::rbegin(kKeyCodes); code != std::rend(kKeyCodes); ++code) {
        if (code->second == key)
            qtKey = code->first;
    }
    Qt::KeyboardModifiers held;
    if (modifiers & B_CONTROL_KEY)
        held |= Qt::ControlModifier;
    if (modifiers & B_SHIFT_KEY)
        held |= Qt::ShiftModifier;
    const QString text = key == B_ENTER ? QStringLiteral("\r") : QString(QChar(key));
    QWindow* target = top->windowHandle();
    using Delivery = QWindowSystemInterface::SynchronousDelivery;
    QWindowSystemInterface::handleKeyEvent<Delivery>(target, QEvent::KeyPress, qtKey, held, text);
    QWindowSystemInterface::handleKeyEvent<Delivery>(target, QEvent::KeyRelease, qtKey, held, text);
    return true;
}

bool Type(const std::string& window, const std::string& view, const std::string& text) {
    QWidget* target = FindView(window, view);
    if (auto* line = qobject_cast<LineEditPeer*>(target))
        target = line->Edit();
    if (target == nullptr)
        return false;
    for (QChar character : QString::fromStdString(text)) {
        const bool enter = character == '\n';
        const int key = enter ? Qt::Key_Return : 0;
        const QString typed = enter ? QStringLiteral("\r") : QString(character);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, typed);
        QCoreApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, typed);
        QCoreApplication::sendEvent(target, &release);
    }
    return true;
}

bool ChooseListItem(const std::string& window, const std::string& view, int row) {
    auto* list = qobject_cast<ListPeer*>(FindView(window, view));
    if (list == nullptr || row < 0 || row >= list->count())
        return false;
    list->setCurrentRow(row);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(list, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(list, &release);
    return true;
}

bool Close(const std::string& window, size_t nth) {
    QWidget* top = FindWindowWidget(window, nth);
    if (top == nullptr || top->windowHandle() == nullptr)
        return false;
    // As the window system asks (queued among its events, then handled), not as QWidget::close,
    // which Qt lets through even to a window that an application-modal box blocks.
    QWindowSystemInterface::handleCloseEvent(top->windowHandle());
    QWindowSystemInterface::flushWindowSystemEvents();
    return true;
}

bool Resize(const std::string& window, int width, int height) {
    QWidget* top = FindWindowWidget(window);
    if (top == nullptr)
        return false;
    top->resize(width, height);
    return true;
}

std::optional<rgb_color> ScreenPixel(const std::string& window, int x, int y) {
    QWidget* top = FindWindowWidget(window);
    QBackingStore* store = top != nullptr ? top->backingStore() : nullptr;
    if (store == nullptr || store->handle() == nullptr)
        return std::nullopt;
    const QImage shown = store->handle()->toImage();
    if (!shown.valid(x, y))
        return std::nullopt;
    return ToRgb(shown.pixelColor(x, y));
}

std::optional<ImageSize> CanvasImage(const std::string& window, const std::string& view) {
    auto* canvas = qobject_cast<CanvasPeer*>(FindView(window, view));
    if (canvas == nullptr)
        return std::nullopt;
    const QImage& image = canvas->Image();
    return ImageSize{image.width(), image.height(), image.devicePixelRatio()};
}

bool Activate(const std::string& window) {
    QWidget* top = FindWindowWidget(window);
    if (top == nullptr || top->windowHandle() == nullptr)
        return false;
    // The window system's focus as well (a window manager's urgency hint clears with it), and at
    // once what Qt makes of it, which the offscreen platform would not tell after an alert.
    top->activateWindow();
    QWindowSystemInterface::handleWindowActivated<QWindowSystemInterface::SynchronousDelivery>(
        top->windowHandle(), Qt::ActiveWindowFocusReason);
    return true;
}

std::optional<rgb_color> Pixel(const std::string& window, const std::string& view, int x, int y) {
    auto* canvas = qobject_cast<CanvasPeer*>(FindView(window, view));
    if (canvas == nullptr || !canvas->Image().valid(x, y))
        return std::nullopt;
    return ToRgb(canvas->Image().pixelColor(x, y));
}

std::vector<rgb_color> Pixels(const std::string& window, const std::string& view) {
    std::vector<rgb_color> pixels;
    auto* canvas = qobject_cast<CanvasPeer*>(FindView(window, view));
    if (canvas == nullptr)
        return pixels;
    const QImage& image = canvas->Image();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            pixels.push_back(ToRgb(image.pixelColor(x, y)));
    }
    return pixels;
}

std::optional<Traffic> CanvasTraffic(const std::string& window, const std::string& view) {
    auto* canvas = qobject_cast<CanvasPeer*>(FindView(window, view));
    if (canvas == nullptr)
        return std::nullopt;
    return Traffic{canvas->Pieces(), canvas->Bytes()};
}

std::shared_ptr<const std::vector<rgb_color>> WatchPixel(const std::string& window,
                                                         const std::string& view, int x, int y) {
    auto seen = std::make_shared<std::vector<rgb_color>>();
    auto* canvas = qobject_cast<CanvasPeer*>(FindView(window, view));
    if (canvas != nullptr && canvas->Image().valid(x, y)) {
        QObject::connect(canvas, &CanvasPeer::PiecePainted, canvas, [canvas, seen, x, y] {
            seen->push_back(ToRgb(canvas->Image().pixelColor(x, y)));
        });
    }
    return seen;
}

std::shared_ptr<const std::vector<LabelState>> WatchLabel(const std::string& window,
                                                          const std::string& view) {
    auto seen = std::make_shared<std::vector<LabelState>>();
    if (auto* label = qobject_cast<LabelPeer*>(FindView(window, view))) {
        QObject::connect(label, &LabelPeer::Changed, label, [label, seen] {
            seen->push_back({label->Text().toStdString(), ToRgb(label->Color())});
        });
    }
    return seen;
}

const AccessibleNode* AccessibleNode::Find(const std::string& wanted) const {
    if (name == wanted)
        return this;
    for (const AccessibleNode& child : children) {
        if (const AccessibleNode* found = child.Find(wanted))
            return found;
    }
    return nullptr;
}

std::optional<AccessibleNode> AccessibleTree(const std::string& window) {
    QWidget* top = FindWindowWidget(window);
    QAccessibleInterface* root = top ? QAccessible::queryAccessibleInterface(top) : nullptr;
    if (root == nullptr)
        return std::nullopt;
    return DescribeAccessible(root);
}

std::optional<AccessibleTableInfo> AccessibleTable(const std::string& window,
                                                   const std::string& view) {
    QWidget* widget = FindView(window, view);
    QAccessibleInterface* node = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
    QAccessibleTableInterface* table = node ? node->tableInterface() : nullptr;
    if (table == nullptr)
        return std::nullopt;
    AccessibleTableInfo info{table->columnCount(), table->rowCount(), {}, -1, -1};
    for (int row = 0; row < info.rows; ++row) {
        for (int column = 0; column < info.columns; ++column) {
            QAccessibleInterface* cell = table->cellAt(row, column);
            info.cells.push_back(cell != nullptr ? Std(cell->text(QAccessible::Name)) : "");
            if (cell != nullptr && cell->state().focused) {
                info.focusedColumn = column;
                info.focusedRow = row;
            }
        }
    }
    return info;
}

std::shared_ptr<const std::vector<AccessibleEventInfo>> WatchAccessibility() {
    gAccessibleEvents = std::make_shared<std::vector<AccessibleEventInfo>>();
    kit::qt::WatchAccessibility(RecordAccessibleEvent);
    return gAccessibleEvents;
}

}  // namespace kit::qt::inspect

namespace kit::qt::inspect {

namespace {
constexpr char kConnection[] = "inspect-notifications";
constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
}  // namespace

struct NotificationService::Server : QDBusVirtualObject {
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QList<QVariant> arguments = message.arguments();
        if (message.member() != "Notify" || arguments.size() != 8)
            return false;
        std::lock_guard lock(mutex);
        const QVariantMap hints = qdbus_cast<QVariantMap>(arguments[6]);
        received.push_back({Std(arguments[0].toString()), arguments[1].toUInt(),
                            Std(arguments[2].toString()), Std(arguments[3].toString()),
                            Std(arguments[4].toString()),
                            Std(hints.value("desktop-entry").toString()), ++lastId});
        if (answers)
            connection.send(message.createReply(QVariant::fromValue(lastId)));
        return true;
    }
    QString introspect(const QString&) const override { return {}; }

    mutable std::mutex mutex;  // guards received and lastId
    std::vector<Notification> received;
    uint lastId = 0;
    bool answers = true;
    bool serving = false;
};

NotificationService::NotificationService(bool answers) : fServer(std::make_unique<Server>()) {
    fServer->answers = answers;
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnection);
    fServer->serving =
        bus.registerVirtualObject(kPath, fServer.get()) && bus.registerService(kService);
}

NotificationService::~NotificationService() {
    QDBusConnection bus(kConnection);
    bus.unregisterService(kService);
    bus.unregisterObject(kPath);
    QDBusConnection::disconnectFromBus(kConnection);
}

bool NotificationService::Serving() const {
    return fServer->serving;
}

std::vector<Notification> NotificationService::Received() const {
    std::lock_guard lock(fServer->mutex);
    return fServer->received;
}

}  // namespace kit::qt::inspect
