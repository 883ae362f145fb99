// Dialogs: the window's message boxes and its modal text input box, replaceable for tests.
//
//   ShowMessageBox(window, TMessageKind::Error, "Orvandel", "Cannot open file ...");
//   std::optional<QString> reply = DefaultInputQuery(window, "Change zone", "Enter new Zone ID:", "111");
//
// Every message box goes through ShowMessageBox. When the environment variable
// ORVANDEL_MESSAGE_LOG names a file, the box is not shown: its text is appended to that
// file as one line (a carriage return written as \r, a line feed as \n) and the program
// goes on as if the user had pressed OK. A hook installed with SetMessageHook (tests)
// receives the boxes instead of both.
#pragma once

#include <functional>
#include <optional>

#include <QString>

class QWidget;

namespace orv {

enum class TMessageKind { Information, Warning, Error };

void ShowMessageBox(QWidget* parent, TMessageKind kind, const QString& caption, const QString& text);

using TMessageHook = std::function<void(TMessageKind kind, const QString& caption, const QString& text)>;
// Installs a hook and returns the previous one; an empty hook restores the boxes.
TMessageHook SetMessageHook(TMessageHook hook);

// A modal text input box: the reply, or nothing when cancelled.
using TInputQuery = std::function<std::optional<QString>(QWidget* parent, const QString& caption,
                                                         const QString& prompt, const QString& text)>;
std::optional<QString> DefaultInputQuery(QWidget* parent, const QString& caption, const QString& prompt,
                                         const QString& text);

}  // namespace orv
