#include "app/MainWindow.h"
#include "kit/application/Application.h"

int main() {
    BApplication application("application/x-vnd.Be-Quillet");
    // Once shown, the window belongs to the toolkit and deletes itself when it quits.
    new MainWindow();
    application.Run();
    return 0;
}
