// The floor of the desktop measurements (bench/desktop.py): the main window's content made the
// bare Qt way on the GUI thread alone (the same menus, the board, the four status texts), shown
// and then left alone: nothing ticks. With --tick, its clock text counts the seconds from a
// QTimer, the bare Qt way of a ticking clock. Ends on SIGTERM. Bench floor code: it includes Qt
// directly.
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QTimer>
#include <QWidget>

#include "bench/BareBoard.h"

namespace {

void Item(QMenu* menu, const char* label, QKeyCombination shortcut, bool enabled = true) {
    QAction* action = menu->addAction(label);
    action->setShortcut(QKeySequence(shortcut));
    action->setEnabled(enabled);
}

QLabel* Status(QWidget* window, const char* text, QRect frame, QColor color = Qt::black) {
    auto* label = new QLabel(text, window);
    label->setGeometry(frame);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle("Bare window");
    window.setFixedSize(301, 341);
    auto* bar = new QMenuBar(&window);
    bar->setGeometry(0, 0, 301, 20);
    QMenu* file = bar->addMenu("File");
    Item(file, "New local game", Qt::CTRL | Qt::Key_N);
    file->addSeparator();
    Item(file, "Quit", Qt::CTRL | Qt::Key_Q);
    QMenu* internet = bar->addMenu("Internet");
    Item(internet, "Connect...", Qt::CTRL | Qt::Key_C);
    Item(internet, "Disconnect", Qt::CTRL | Qt::Key_D, false);
    Item(internet, "Send message", Qt::CTRL | Qt::Key_M, false);
    bar->addMenu("Help")->addAction("About...");
    (new BareBoard(&window))->move(0, 20);
    Status(&window, "Listen for connections...", QRect(1, 310, 150, 31));
    Status(&window, "X: 0", QRect(221, 310, 41, 31));
    Status(&window, "O: 0", QRect(261, 310, 36, 31));
    QLabel* clock = Status(&window, "00:00", QRect(171, 310, 41, 31), Qt::red);
    QTimer tick;
    int elapsed = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++elapsed;
        clock->setText(QString::asprintf("%02d:%02d", elapsed / 60 % 100, elapsed % 60));
    });
    if (application.arguments().contains("--tick"))
        tick.start(1000);
    window.show();
    return application.exec();
}
