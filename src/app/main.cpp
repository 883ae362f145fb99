// orvandel [options] [GAMEDIR]: the interactive viewer. Opens the main window on zone 111
// (or --zone's) of the game installed in GAMEDIR (the folder chosen last, or the default
// installation directory, when it is missing) and writes its progress log to standard
// output. The command line is read before anything needs a display: a wrong one exits
// with status 2, a missing display with status 1, each with one message on standard error.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QIcon>
#include <QSurfaceFormat>

#include "GLWindow.h"
#include "MainWindow.h"
#include "Settings.h"
#include "shell/CommandLine.h"

namespace {

constexpr int ExitNoDisplay = 1;
constexpr const char* DesktopId = "org.orvandel.Orvandel";

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
    if (const std::optional<int> answered = orv::AnswerViewerCommandLine(arguments, ORVANDEL_VERSION, options))
        return *answered;
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
