// WinDialogs: the Windows viewer's boxes. Message boxes (the session's texts, lines
// separated by carriage returns; an offered action as a button beside "Close"), the
// table of keys F1 shows, the input box of "Go to loc..." and the one of "Zone" with its zones to choose from, the
// folder chooser and the save dialog, all modal over owner.
//
//   ShowBox(window, TMessageKind::Error, "Orvandel", "Cannot open file ...");
//   std::optional<std::string> loc = InputBox(window, "Go to locaction", "Loc (X,Y,Z,h,p)", "0,0,0,0,80");
//   std::optional<std::string> zone = InputBox(window, "Change zone", "Enter new Zone ID:", "111", {"5", "111"});
//
// With ORVANDEL_MESSAGE_LOG set the message boxes are written to that file instead
// (AppendToMessageLog of the session) and no one is asked: the save dialog then answers
// with the suggested name in the working directory, as the session does where no one
// can be asked.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "shell/Session.h"

namespace orv::win {

void ShowBox(HWND owner, TMessageKind kind, const std::string& caption, const std::string& text);
// True when the user took the action.
bool AskBox(HWND owner, TMessageKind kind, const std::string& caption, const std::string& text,
            const std::string& action);
// Rows of two columns, the first in bold, in a box that fits the screen and scrolls.
void ShowTable(HWND owner, const std::string& caption, const std::vector<std::pair<std::string, std::string>>& rows);
// A text box; with items, an editable list of them. Nothing when cancelled.
std::optional<std::string> InputBox(HWND owner, const std::string& caption, const std::string& prompt,
                                    const std::string& text, const std::vector<std::string>& items = {});
std::optional<std::string> ChooseFolder(HWND owner, const std::string& caption, const std::string& start);
// filters: "Name (*.ext)" each; the choice carries the index of the one chosen.
std::optional<TSaveFileChoice> ChooseSaveFile(HWND owner, const std::string& caption, const std::string& folder,
                                              const std::string& suggestedName, const std::vector<std::string>& filters);

}  // namespace orv::win
