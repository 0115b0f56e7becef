// The two information windows: usage instructions and update notes.
#pragma once

#include "app/frame.h"

namespace ui {

const frame::WindowDef& UsageWindowDefinition();
const frame::WindowDef& NotesWindowDefinition();

}  // namespace ui
