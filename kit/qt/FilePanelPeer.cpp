// The open-file chooser.
#include <QDir>
#include <QFileDialog>

#include "kit/qt/Registry.h"

namespace kit::qt {

void ShowOpenPanel(PeerId id, std::string title, BMessage message, BMessenger target) {
    Post([id, title = std::move(title), message = std::move(message), target] {
        auto* dialog = new QFileDialog(nullptr, QString::fromStdString(title));
        dialog->setFileMode(QFileDialog::ExistingFile);
        // Directories, and of the files the programs (in Qt's own chooser).
        dialog->setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &QFileDialog::fileSelected,
                         [message, target](const QString& file) {
                             BMessage chosen(message);
                             chosen.AddString("path", file.toStdString().c_str());
                             target.SendMessage(&chosen);
                         });
        RegisterPeer(id, dialog);
        dialog->show();
    });
}

}  // namespace kit::qt
