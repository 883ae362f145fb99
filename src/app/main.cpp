// orvandel [GAMEDIR]: the interactive viewer. Opens the main window on zone 111 of the
// game installed in GAMEDIR (the default installation directory when it is missing) and
// writes its progress log to standard output.
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include <QApplication>
#include <QSurfaceFormat>

#include "GLWindow.h"
#include "MainWindow.h"
#include "shell/Viewer.h"

namespace {

void PrintUsage()
{
    std::printf(
        "Usage: orvandel [GAMEDIR]\n"
        "Flies over a zone of the game installed in GAMEDIR (default: %s).\n"
        "Start it in a directory that holds checker.bmp. F1 in the window lists the keys.\n"
        "\n"
        "  --help      show this text and exit\n"
        "  --version   show the version and exit\n",
        orv::DefaultGameDir().c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage();
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("orvandel %s\n", ORVANDEL_VERSION);
        return 0;
    }

    // The view's context shares with the window's; both get the view's format.
    QSurfaceFormat::setDefaultFormat(orv::TglWindow::ViewFormat());
    QApplication app(argc, argv);
    QApplication::setApplicationName("Orvandel");

    // Qt has taken its own options out of the arguments; the first one left is the game.
    const QStringList arguments = QApplication::arguments();
    std::optional<std::string> gameDir;
    if (arguments.size() > 1)
        gameDir = arguments.at(1).toLocal8Bit().toStdString();

    auto form = std::make_unique<orv::TForm1>(gameDir);
    form->show();
    const int result = QApplication::exec();
    form.reset();
    return result;
}
