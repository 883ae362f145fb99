// orvandel [options] [GAMEDIR]: the interactive viewer. Opens the main window on zone 111
// (or --zone's) of the game installed in GAMEDIR (the folder chosen last, or the default
// installation directory, when it is missing) and writes its progress log to standard
// output. The command line is read before anything needs a display: a wrong one exits
// with status 2, a missing display with status 1, each with one message on standard error.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QIcon>
#include <QSurfaceFormat>

#include "GLWindow.h"
#include "MainWindow.h"
#include "Settings.h"
#include "shell/CommandLine.h"
#include "shell/Viewer.h"

namespace {

constexpr int ExitNoDisplay = 1;
constexpr const char* DesktopId = "org.orvandel.Orvandel";
constexpr int ExitUsage = 2;

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// While the application connects to the display, Qt's own messages are held back: when
// it cannot connect it ends the program with a fatal message, and the user gets one line
// of ours instead of Qt's several and an abort.
std::vector<QString>& HeldMessages()
{
    static std::vector<QString> held;
    return held;
}

void StartupMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", orv::NoDisplayMessage(Environment("DISPLAY")).c_str());
        std::fflush(stdout);
        std::_Exit(ExitNoDisplay);
    }
    HeldMessages().push_back(message);
}

bool DisplayNamed()
{
    return !Environment("DISPLAY").empty() || !Environment("WAYLAND_DISPLAY").empty() ||
           !Environment("QT_QPA_PLATFORM").empty();
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : argc), argv + argc);
    orv::TViewerOptions options;
    try {
        options = orv::ParseViewerOptions(arguments);
    } catch (const orv::EUsageError& e) {
        std::fprintf(stderr, "orvandel: %s\n\n%s", e.what(), orv::ViewerUsage(orv::DefaultGameDir()).c_str());
        return ExitUsage;
    }
    if (options.Help) {
        std::printf("%s", orv::ViewerUsage(orv::DefaultGameDir()).c_str());
        return 0;
    }
    if (options.Version) {
        std::printf("orvandel %s\n", ORVANDEL_VERSION);
        return 0;
    }
    if (!DisplayNamed()) {
        std::fprintf(stderr, "%s\n", orv::NoDisplayMessage("").c_str());
        return ExitNoDisplay;
    }

    // The view's context shares with the window's; both get the view's format.
    QSurfaceFormat::setDefaultFormat(orv::TglWindow::ViewFormat());
    // The arguments are the viewer's own: Qt is given none of them.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    const QtMessageHandler previous = qInstallMessageHandler(StartupMessageHandler);
    QApplication app(qtArgc, qtArgv);
    qInstallMessageHandler(previous);
    for (const QString& message : HeldMessages())
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    orv::SetApplicationNames();
    // The installed desktop entry and icon: the desktop matches the window to the entry by
    // this name (on Wayland) and shows the icon from the theme (nothing from a build tree).
    QGuiApplication::setDesktopFileName(QString::fromLatin1(DesktopId));
    QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(DesktopId)));

    auto form = std::make_unique<orv::TForm1>(options);
    form->show();
    const int result = QApplication::exec();
    form.reset();
    return result;
}
