// Dialogs: the window's message boxes and its modal input boxes, replaceable for tests.
//
//   ShowMessageBox(window, TMessageKind::Error, "Orvandel", "Cannot open file ...");
//   if (AskMessageBox(window, TMessageKind::Error, "Orvandel", text, "Open game folder..."))
//       ...;                                                    // the user took the offer
//   std::optional<QString> reply = DefaultInputQuery(window, "Go to locaction", "Loc (X,Y,Z,h,p)", "0,0,0,0,80");
//   std::optional<QString> zone = DefaultChoiceQuery(window, "Change zone", "Enter new Zone ID:", {"5", "111"}, "111");
//   std::optional<QString> dir = DefaultFolderQuery(window, "Open game folder", "/games/isles/");
//   auto file = DefaultSaveFileQuery(window, "Save zone map", "/home/ann/Pictures", "zone111.png",
//                                    {"PNG picture (*.png)"});
//
// Every message box goes through ShowMessageBox or AskMessageBox. A box is at least as
// wide as its caption and its longest line (within the screen), so that a file name in an
// error is shown whole. When the environment variable ORVANDEL_MESSAGE_LOG names a file,
// the box is not shown: its text is appended to that file as one line (a carriage return
// written as \r, a line feed as \n, an offered action as " [action]" at the end) and the
// program goes on as if the user had closed the box. A hook installed with
// SetMessageHook (tests) receives the boxes instead of both and answers the offers.
#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

#include "shell/Session.h"

class QWidget;

namespace orv {


// text: plain text (lines separated by carriage returns or line feeds), or rich text
// with format Qt::RichText.
void ShowMessageBox(QWidget* parent, TMessageKind kind, const QString& caption, const QString& text,
                    Qt::TextFormat format = Qt::PlainText);
// A message box with one action offered beside "Close"; true when the user took it.
bool AskMessageBox(QWidget* parent, TMessageKind kind, const QString& caption, const QString& text,
                   const QString& action);

// action: empty for a plain box. The answer is used for offers only.
using TMessageHook = std::function<bool(TMessageKind kind, const QString& caption, const QString& text,
                                        const QString& action)>;
// Installs a hook and returns the previous one; an empty hook restores the boxes.
TMessageHook SetMessageHook(TMessageHook hook);

// A modal text input box: the reply, or nothing when cancelled.
using TInputQuery = std::function<std::optional<QString>(QWidget* parent, const QString& caption,
                                                         const QString& prompt, const QString& text)>;
std::optional<QString> DefaultInputQuery(QWidget* parent, const QString& caption, const QString& prompt,
                                         const QString& text);

// A modal box that offers items to pick and takes any typed text as well.
using TChoiceQuery = std::function<std::optional<QString>(QWidget* parent, const QString& caption,
                                                          const QString& prompt, const QStringList& items,
                                                          const QString& text)>;
std::optional<QString> DefaultChoiceQuery(QWidget* parent, const QString& caption, const QString& prompt,
                                          const QStringList& items, const QString& text);

// A modal folder chooser starting in `start`: the folder chosen, or nothing.
using TFolderQuery =
    std::function<std::optional<QString>(QWidget* parent, const QString& caption, const QString& start)>;
std::optional<QString> DefaultFolderQuery(QWidget* parent, const QString& caption, const QString& start);

// A modal dialog for a file to write, suggestedName offered in folder (empty: the working
// directory): the path chosen and the index of the filter chosen, or nothing when
// cancelled. A name without an extension gets the filter's.
struct TSaveFileReply {
    QString Path;
    int Filter = 0;
};
using TSaveFileQuery = std::function<std::optional<TSaveFileReply>(
    QWidget* parent, const QString& caption, const QString& folder, const QString& suggestedName,
    const QStringList& filters)>;
std::optional<TSaveFileReply> DefaultSaveFileQuery(QWidget* parent, const QString& caption, const QString& folder,
                                                   const QString& suggestedName, const QStringList& filters);

}  // namespace orv
