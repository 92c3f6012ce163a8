// The main window's menu, toolbar, accelerators and the prompts of its
// commands: the texts the shell shows. What each command does is registered
// in the command table by the part that owns it.
#pragma once

#include "shell/CommandIds.h"

#include <QString>
#include <vector>

// The tables hold the texts as written (Chinese); MenuText gives the one to
// show, in the window's language.
QString MenuText(const QString& source);

// One entry of the main menu. A popup opens with `popup` set and id 0; a
// separator has id 0 and an empty text.
struct MenuEntry {
    QString popup; // the popup this item belongs to; empty for a top-level command
    QString text;
    int id;
};
const std::vector<MenuEntry>& MainMenu();

// Toolbar buttons left to right; 0 stands for a separator.
const std::vector<int>& MainToolbar();

// The status-bar prompt and tooltip of a command.
struct CommandPrompt {
    QString statusPrompt;
    QString toolTip;
};
CommandPrompt PromptFor(int id);

struct Accelerator {
    QString keys; // QKeySequence form
    int id;
};
const std::vector<Accelerator>& MainAccelerators();
