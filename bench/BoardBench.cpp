// One mark with its whole blink, offscreen: a click on a cell of the real main window's board
// until the move's pass and the ten blink ticks are on screen, beside a bare Qt board that paints
// the same cell on the GUI thread (BareBoard.h), measured in the same run. The time is the CPU of
// the whole process per mark (every thread); the counters are the bytes of image and the pieces
// that the window's thread shipped to the GUI thread per mark, and the system calls, allocations
// and context switches per mark (Counters.h). The main window's move clock ticks meanwhile, as
// it does in play; the idle main window over a mark's second shows what that alone costs. The
// window listens on port 1777: run it in a network namespace of its own, for example
// `unshare -rn sh -c 'ip link set lo up; build/bench/board_bench'`.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>
#include <cstdlib>
#include <functional>

#include "app/MainWindow.h"
#include "bench/BareBoard.h"
#include "bench/Counters.h"
#include "kit/application/Application.h"
#include "kit/qt/Inspect.h"

namespace {

namespace inspect = kit::qt::inspect;

constexpr char kTitle[] = "Quillet 1.4";
constexpr rgb_color kBlack{0, 0, 0, 255};
// Marks on the odd rows, fourteen a row, so that X and O alternate along each row and no five
// ever meet: room for 112 marks on one board.
constexpr int kMarks = 20;

QPoint Cell(int mark) {
    return QPoint(mark % 14 + 1, mark / 14 % 8 * 2 + 1);
}

// Runs the GUI thread's events, sleeping while there are none, until done holds; false after
// ten seconds.
bool Pump(const std::function<bool()>& done) {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    watchdog.start(10000);
    while (!done()) {
        if (!watchdog.isActive())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Runs what is pending, without waiting (the paint of the last piece).
void Flush() {
    QCoreApplication::processEvents();
}

inspect::Traffic BoardTraffic() {
    return inspect::CanvasTraffic(kTitle, "gamruta").value_or(inspect::Traffic{0, 0});
}

// The main window, shown once with its board drawn and its clock made, for every run: closing
// it would end the application, as it does for a user.
bool MainWindowShown(benchmark::State& state) {
    static bool shown = false;
    if (!shown) {
        new MainWindow();
        shown = Pump([] {
            auto window = inspect::FindWindow(kTitle);
            return window && window->View("time status") &&
                   inspect::Pixel(kTitle, "gamruta", 0, 10) == kBlack;
        });
    }
    if (!shown)
        state.SkipWithError("the main window never showed its board");
    return shown;
}

void CloseMainWindow() {
    inspect::Close(kTitle);
    Pump([] { return !inspect::FindWindow(kTitle) && be_app->CountWindows() == 0; });
}

// Every mark goes to a cell of its own, whatever run it belongs to.
int gMarks = 0;

void BM_MarkWithBlinkInMainWindow(benchmark::State& state) {
    if (!MainWindowShown(state))
        return;
    const inspect::Traffic start = BoardTraffic();
    ProcessCounters counters;
    counters.Start();
    for (auto _ : state) {
        const QPoint cell = Cell(gMarks++);
        const int64 before = BoardTraffic().pieces;
        inspect::Click(kTitle, BPoint(cell.x() * 20 - 10, cell.y() * 20 + 10));
        // The move's pass and ten blink ticks, each a piece of its own.
        if (!Pump([&] { return BoardTraffic().pieces >= before + 11; })) {
            state.SkipWithError("the blink never ended");
            break;
        }
        Flush();  // paints the last piece
    }
    counters.Stop(state);
    const inspect::Traffic end = BoardTraffic();
    using benchmark::Counter;
    state.counters["bytes_to_gui"] =
        Counter(static_cast<double>(end.bytes - start.bytes), Counter::kAvgIterations);
    state.counters["pieces"] =
        Counter(static_cast<double>(end.pieces - start.pieces), Counter::kAvgIterations);
}
BENCHMARK(BM_MarkWithBlinkInMainWindow)
    ->Iterations(kMarks)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

void BM_MarkWithBlinkBareQt(benchmark::State& state) {
    BareBoard board;
    board.setWindowTitle("Bare board");
    board.show();
    Pump([&] { return board.isVisible(); });
    ProcessCounters counters;
    counters.Start();
    int mark = 0;
    for (auto _ : state) {
        const QPoint cell = Cell(mark++);
        const QPointF where(cell.x() * 20 - 10, cell.y() * 20 - 10);
        QMouseEvent press(QEvent::MouseButtonPress, where, board.mapToGlobal(where), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&board, &press);
        if (!Pump([&] { return board.Ticks() == 10; })) {
            state.SkipWithError("the blink never ended");
            break;
        }
        Flush();  // paints the last tick
    }
    counters.Stop(state);
    state.counters["bytes_to_gui"] = 0;
    state.counters["pieces"] = 0;
}
BENCHMARK(BM_MarkWithBlinkBareQt)
    ->Iterations(kMarks)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

void BM_MainWindowIdleForAMarksSecond(benchmark::State& state) {
    if (!MainWindowShown(state))
        return;
    ProcessCounters counters;
    counters.Start();
    for (auto _ : state) {
        QEventLoop second;
        QTimer::singleShot(1000, Qt::PreciseTimer, &second, &QEventLoop::quit);
        second.exec();
    }
    counters.Stop(state);
}
BENCHMARK(BM_MainWindowIdleForAMarksSecond)
    ->Iterations(kMarks / 2)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    BApplication application("application/x-vnd.Quillet-BoardBench");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CloseMainWindow();
    return 0;
}
