#include "kit/qt/Inspect.h"

#include <qpa/qwindowsysteminterface.h>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>

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

QWidget* FindWindowWidget(const std::string& title) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->property(kWindowProperty).toBool() && widget->isVisible() &&
            Std(widget->windowTitle()) == title)
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
        WindowInfo info{Std(top->windowTitle()),
                        BRect(content.x(), content.y(), content.right(), content.bottom()),
                        top->minimumSize() != top->maximumSize(),
                        bool(top->windowFlags() & Qt::WindowMaximizeButtonHint),
                        top->windowModality() == Qt::ApplicationModal,
                        bool((top->windowFlags() & Qt::Tool) == Qt::Tool),
                        {},
                        {}};
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
                info.menus.push_back({Std(menuAction->text()), MenuItems(menuAction->menu())});
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

bool Close(const std::string& window) {
    QWidget* top = FindWindowWidget(window);
    if (top == nullptr || top->windowHandle() == nullptr)
        return false;
    // As the window system asks (queued among its events, then handled), not as QWidget::close,
    // which Qt lets through even to a window that an application-modal box blocks.
    QWindowSystemInterface::handleCloseEvent(top->windowHandle());
    QWindowSystemInterface::flushWindowSystemEvents();
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

}  // namespace kit::qt::inspect
