// The command line, read with Qt's parser before any Qt application object exists.
#include "kit/application/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>

#include "kit/qt/Notifier.h"

namespace kit {

std::optional<int> ReadCommandLine(int argc, const char* const* argv, const ProgramInfo& info) {
    // The application object reads these when it is made: its class name, and the desktop file
    // that a desktop shell matches the windows to.
    QCoreApplication::setApplicationName(QString::fromStdString(info.name));
    QCoreApplication::setApplicationVersion(QString::fromStdString(info.version));
    QGuiApplication::setDesktopFileName(QString::fromStdString(info.desktopId));
    qt::SetNotificationAppName(QString::fromStdString(info.displayName));

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Only these two: Qt's own options (-platform, --help-all, ...) are not offered.
    QCommandLineParser parser;
    // "-platform" is one unknown option, not eight unknown letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QString::fromStdString(info.description));
    const QCommandLineOption help({"h", "help"}, "Shows this help and exits.");
    const QCommandLineOption version({"v", "version"}, "Shows the version and exits.");
    parser.addOption(help);
    parser.addOption(version);
    QList<QCommandLineOption> own;
    for (const auto& [name, description] : info.ownOptions)
        own.append(
            QCommandLineOption(QString::fromStdString(name), QString::fromStdString(description)));
    for (const QCommandLineOption& option : own)
        parser.addOption(option);

    QString error;
    if (!parser.parse(arguments))
        error = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        error = QString("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
    for (const QCommandLineOption& option : own)
        if (error.isEmpty() && parser.isSet(option))
            error = QString("'--%1' goes alone on the command line.").arg(option.names().first());
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", info.name.c_str(), error.toLocal8Bit().constData());
        return 2;
    }
    if (parser.isSet(help)) {
        // Qt's parser takes the usage line's program name from an application object.
        int helpArgc = 1;
        QByteArray name = QString::fromStdString(info.name).toLocal8Bit();
        char* helpArgv[] = {name.data(), nullptr};
        const QCoreApplication application(helpArgc, helpArgv);
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", info.name.c_str(), info.version.c_str());
        return 0;
    }
    return std::nullopt;
}

}  // namespace kit
