#include "Dialogs.h"

#include <cstdio>
#include <cstdlib>

#include <QInputDialog>
#include <QMessageBox>
#include <QWidget>

namespace orv {
namespace {

constexpr const char* MessageLogVariable = "ORVANDEL_MESSAGE_LOG";

TMessageHook& Hook()
{
    static TMessageHook hook;
    return hook;
}

// One line per box: line breaks inside the text are written as escapes.
bool AppendToMessageLog(const QString& text)
{
    const char* path = std::getenv(MessageLogVariable);
    if (path == nullptr || *path == '\0')
        return false;
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1String("\\r")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
    if (std::FILE* file = std::fopen(path, "a")) {
        const QByteArray bytes = line.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), file);
        std::fputc('\n', file);
        std::fclose(file);
    } else {
        std::fprintf(stderr, "Cannot append to %s: %s\n", path, text.toUtf8().constData());
    }
    return true;
}

}  // namespace

void ShowMessageBox(QWidget* parent, TMessageKind kind, const QString& caption, const QString& text)
{
    if (Hook()) {
        Hook()(kind, caption, text);
        return;
    }
    if (AppendToMessageLog(text))
        return;
    // A carriage return separates lines in the texts the viewer raises.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    switch (kind) {
    case TMessageKind::Information:
        QMessageBox::information(parent, caption, shown);
        break;
    case TMessageKind::Warning:
        QMessageBox::warning(parent, caption, shown);
        break;
    case TMessageKind::Error:
        QMessageBox::critical(parent, caption, shown);
        break;
    }
    if (parent && parent->isVisible())
        parent->activateWindow();
}

TMessageHook SetMessageHook(TMessageHook hook)
{
    TMessageHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

std::optional<QString> DefaultInputQuery(QWidget* parent, const QString& caption, const QString& prompt,
                                         const QString& text)
{
    bool ok = false;
    QString reply = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, text, &ok);
    // The keyboard goes back to the window, also where no window manager returns it.
    if (parent)
        parent->activateWindow();
    if (!ok)
        return std::nullopt;
    return reply;
}

}  // namespace orv
