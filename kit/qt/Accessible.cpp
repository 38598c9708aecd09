// What assistive tools see of the kit's own peers: a window is a window (a frame), a drawn view
// with a table is a table of named cells, and a string view is static text whose name is its
// text. GUI thread only, as Qt's
// accessibility is.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QWindow>
#include <functional>
#include <utility>

#include "kit/qt/Peers.h"

namespace kit::qt {

namespace {

class CanvasAccessible;

// Where a table's cells lie in its view.
QRect CellArea(const QWidget* canvas, const CanvasPeer::Table& table) {
    return table.area.isNull() ? canvas->rect() : table.area;
}

// A cell of a drawn view's table. It has no object of its own: the table owns it, and it
// answers from the peer's table as long as the peer is there.
class CellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    CellAccessible(CanvasPeer* canvas, int index) : fCanvas(canvas), fIndex(index) {}

    bool isValid() const override {
        return fCanvas != nullptr && fIndex < fCanvas->AccessibleTable().names.size();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return fCanvas != nullptr ? fCanvas->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(fCanvas.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && isValid() ? fCanvas->AccessibleTable().names[fIndex]
                                                   : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid())
            return {};
        const CanvasPeer::Table& table = fCanvas->AccessibleTable();
        const QRect area = CellArea(fCanvas, table);
        const int width = area.width() / table.columns;
        const int height = area.height() / table.rows;
        const QPoint origin = fCanvas->mapToGlobal(area.topLeft());
        return QRect(origin.x() + columnIndex() * width, origin.y() + rowIndex() * height, width,
                     height);
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.focusable = true;
        state.focused =
            isValid() && fCanvas->hasFocus() && fCanvas->AccessibleTable().focus == fIndex;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableCellInterface
                   ? static_cast<QAccessibleTableCellInterface*>(this)
                   : nullptr;
    }

    bool isSelected() const override { return false; }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override {
        return isValid() ? fIndex % fCanvas->AccessibleTable().columns : -1;
    }
    int rowIndex() const override {
        return isValid() ? fIndex / fCanvas->AccessibleTable().columns : -1;
    }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    const QPointer<CanvasPeer> fCanvas;
    const int fIndex;
};

// A drawn view: a table when its view made it one, else a plain canvas. The latest
// announcement is its description.
class CanvasAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit CanvasAccessible(CanvasPeer* canvas)
        : QAccessibleWidget(canvas, QAccessible::Canvas) {}
    ~CanvasAccessible() override {
        for (QAccessible::Id id : std::as_const(fCells))
            QAccessible::deleteAccessibleInterface(id);
    }

    QAccessible::Role role() const override {
        return Table().names.isEmpty() ? QAccessible::Canvas : QAccessible::Table;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Description)
            return Table().announcement;
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return static_cast<int>(Table().names.size()); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        if (auto known = fCells.constFind(index); known != fCells.constEnd())
            return QAccessible::accessibleInterface(*known);
        auto* cell = new CellAccessible(Canvas(), index);
        fCells.insert(index, QAccessible::registerAccessibleInterface(cell));
        return cell;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (auto cell = fCells.constBegin(); cell != fCells.constEnd(); ++cell) {
            if (QAccessible::accessibleInterface(cell.value()) == child)
                return cell.key();
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const CanvasPeer::Table& table = Table();
        const QRect area = CellArea(Canvas(), table);
        const QPoint local = Canvas()->mapFromGlobal(QPoint(x, y)) - area.topLeft();
        if (table.names.isEmpty() || !QRect(QPoint(), area.size()).contains(local))
            return nullptr;
        const int column = local.x() * table.columns / area.width();
        const int row = local.y() * table.rows / area.height();
        return child(row * table.columns + column);
    }
    QAccessibleInterface* focusChild() const override {
        return Canvas()->hasFocus() ? child(Table().focus) : nullptr;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableInterface && !Table().names.isEmpty())
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override {
        const CanvasPeer::Table& table = Table();
        if (row < 0 || row >= table.rows || column < 0 || column >= table.columns)
            return nullptr;
        return child(row * table.columns + column);
    }
    int selectedCellCount() const override { return 0; }
    QList<QAccessibleInterface*> selectedCells() const override { return {}; }
    QString columnDescription(int) const override { return {}; }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override { return Table().columns; }
    int rowCount() const override { return Table().rows; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {
        // A new table: its cells are made again when asked for.
        for (QAccessible::Id id : std::as_const(fCells))
            QAccessible::deleteAccessibleInterface(id);
        fCells.clear();
    }

private:
    CanvasPeer* Canvas() const { return static_cast<CanvasPeer*>(widget()); }
    const CanvasPeer::Table& Table() const { return Canvas()->AccessibleTable(); }

    // The cells made so far, by index, as registered with Qt (which hands out their ids).
    mutable QHash<int, QAccessible::Id> fCells;
};

// A string view: its text is its name, the name the kit gave it its description.
class LabelAccessible : public QAccessibleWidget {
public:
    explicit LabelAccessible(LabelPeer* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        auto* label = static_cast<LabelPeer*>(widget());
        if (t == QAccessible::Name)
            return label->Text();
        if (t == QAccessible::Description)
            return label->accessibleName();
        return QAccessibleWidget::text(t);
    }
};

std::function<void(QAccessibleEvent*)> gWatcher;  // GUI thread only

QAccessibleInterface* KitAccessible(const QString&, QObject* object) {
    // A plain widget would be a filler to them.
    if (auto* window = qobject_cast<WindowPeer*>(object))
        return new QAccessibleWidget(window, QAccessible::Window);
    if (auto* canvas = qobject_cast<CanvasPeer*>(object))
        return new CanvasAccessible(canvas);
    if (auto* label = qobject_cast<LabelPeer*>(object))
        return new LabelAccessible(label);
    return nullptr;
}

}  // namespace

void InstallAccessibility() {
    QAccessible::installFactory(KitAccessible);
}

bool AccessibilityListening() {
    return gWatcher != nullptr || QAccessible::isActive();
}

void TellAccessibility(QAccessibleEvent* event) {
    if (gWatcher != nullptr)
        gWatcher(event);
    QAccessible::updateAccessibility(event);
}

void WatchAccessibility(std::function<void(QAccessibleEvent*)> watcher) {
    gWatcher = std::move(watcher);
}

}  // namespace kit::qt
