#include "ui/info/info_windows.h"

#include "ui/site.h"

namespace ui {
namespace {

using frame::ControlDef;
using frame::ControlKind;
using frame::Gb;
using frame::Window;

ControlDef TextBox(int width, int height, const char* resource) {
  return ControlDef{.name = "编辑框1",
                    .kind = ControlKind::EditBox,
                    .left = 0,
                    .top = 0,
                    .width = width,
                    .height = height,
                    .text = frame::ReadResource(resource),
                    .scrollBars = frame::ScrollBars::Vertical};
}

// The text box covers the window: its outer width less 5, its outer height.
void FitTextBox(Window& w, const frame::EventArgs&) {
  w["编辑框1"].SetWidth(w.Width() - 5);
  w["编辑框1"].SetHeight(w.Height());
}

frame::WindowDef InfoWindow(const char* name, const char* title, int width, int height,
                            std::vector<ControlDef> controls) {
  return frame::WindowDef{.name = name,
                          .title = Gb(title),
                          .left = 50,
                          .top = 50,
                          .width = width,
                          .height = height,
                          .centred = true,
                          .minimiseButton = false,
                          .maximiseButton = false,
                          .showInTaskbar = true,
                          .escCloses = true,
                          .controls = std::move(controls),
                          .handlers = {{"", frame::Event::Created, FitTextBox}}};
}

}  // namespace

const frame::WindowDef& UsageWindowDefinition() {
  static const frame::WindowDef def = InfoWindow(
      "UsageWindow", "使用说明", 459, 381,
      {ControlDef{.name = "超级链接框1",
                  .kind = ControlKind::HyperlinkBox,
                  .left = 288,
                  .top = 320,
                  .width = 136,
                  .height = 24,
                  .text = Gb("点击留言"),
                  .colour = {0, 0, 255},
                  .cursor = frame::Cursor::PointingHand,
                  .address = kFeedbackAddress,
                  .overColour = {49, 106, 197},
                  .openedColour = {128, 0, 0}},
       TextBox(456, 352, ":/texts/usage.txt")});
  return def;
}

const frame::WindowDef& NotesWindowDefinition() {
  static const frame::WindowDef def =
      InfoWindow("NotesWindow", "更新说明", 467, 411, {TextBox(304, 200, ":/texts/notes.txt")});
  return def;
}

}  // namespace ui
