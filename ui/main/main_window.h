// The game's main window: its definition and its handlers.
#pragma once

#include "app/frame.h"

namespace ui {

const frame::WindowDef& MainWindowDefinition();

// The About message, lines joined by CR LF.
frame::GbText AboutText();

// Marks the chosen kind, shows its result labels and makes it the current kind.
void SelectKind(frame::Window& w, int kind);

}  // namespace ui
