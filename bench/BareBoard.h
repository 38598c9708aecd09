// The floor of the board's measurements: the same 15 x 15 board, drawn the bare Qt way on the
// GUI thread. Each cell is painted from the model when Qt asks for it; a mark repaints its cell,
// and the newest mark blinks, erased and drawn again five times by ten 100 ms ticks, each of which
// repaints that cell alone. A press on a cell places the next player's mark there. Bench floor
// code: it includes Qt directly.
#pragma once

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <array>

class BareBoard : public QWidget {
public:
    static constexpr int kCells = 15;
    static constexpr int kCellPixels = 20;

    explicit BareBoard(QWidget* parent = nullptr) : QWidget(parent) {
        setFixedSize(kCells * kCellPixels + 1, kCells * kCellPixels + 1);
        fBlink.setInterval(100);
        fBlink.setTimerType(Qt::PreciseTimer);
        connect(&fBlink, &QTimer::timeout, this, [this] {
            if (++fTicks == 10)
                fBlink.stop();
            update(CellRect(fLastColumn, fLastRow));
        });
    }

    // Places a mark (1: X, 2: O) on a free cell (1-based) and starts its blink.
    void Mark(int column, int row, int player) {
        fCells[column - 1][row - 1] = player;
        fLastColumn = column;
        fLastRow = row;
        fTicks = 0;
        fBlink.start();
        update(CellRect(column, row));
    }
    // Empties the board.
    void Clear() {
        fCells = {};
        fBlink.stop();
        update();
    }
    // The blink ticks of the newest mark so far, 10 when it is over.
    int Ticks() const { return fTicks; }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        const int column = static_cast<int>(event->position().x()) / kCellPixels + 1;
        const int row = static_cast<int>(event->position().y()) / kCellPixels + 1;
        if (column > kCells || row > kCells || fCells[column - 1][row - 1] != 0)
            return;
        Mark(column, row, fNext);
        fNext = 3 - fNext;
    }

    void paintEvent(QPaintEvent* event) override {
        const QRect area = event->rect();
        QPainter painter(this);
        painter.fillRect(area, Qt::white);
        painter.setPen(Qt::black);
        for (int at = 0; at <= kCells * kCellPixels; at += kCellPixels) {
            if (at >= area.left() && at <= area.right())
                painter.drawLine(at, area.top(), at, area.bottom());
            if (at >= area.top() && at <= area.bottom())
                painter.drawLine(area.left(), at, area.right(), at);
        }
        for (int column = 1; column <= kCells; ++column) {
            for (int row = 1; row <= kCells; ++row) {
                const bool blinkedAway =
                    column == fLastColumn && row == fLastRow && fTicks % 2 == 1;
                if (fCells[column - 1][row - 1] != 0 && !blinkedAway &&
                    area.intersects(CellRect(column, row)))
                    DrawMark(painter, column, row, fCells[column - 1][row - 1]);
            }
        }
    }

private:
    static QRect CellRect(int column, int row) {
        return QRect((column - 1) * kCellPixels - 1, (row - 1) * kCellPixels - 1, kCellPixels + 3,
                     kCellPixels + 3);
    }
    static void DrawMark(QPainter& painter, int column, int row, int player) {
        const qreal x = (column - 1) * kCellPixels, y = (row - 1) * kCellPixels;
        QPen pen(player == 1 ? Qt::red : Qt::blue);
        pen.setWidthF(2);
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        if (player == 1) {
            painter.drawLine(QPointF(x, y), QPointF(x + kCellPixels, y + kCellPixels));
            painter.drawLine(QPointF(x, y + kCellPixels), QPointF(x + kCellPixels, y));
        } else {
            painter.drawEllipse(QPointF(x + kCellPixels / 2.0, y + kCellPixels / 2.0), 8, 8);
        }
    }

    std::array<std::array<int, kCells>, kCells> fCells{};
    int fNext = 1;
    int fLastColumn = 0;
    int fLastRow = 0;
    int fTicks = 10;
    QTimer fBlink;
};
