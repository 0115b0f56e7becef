// The game as shipped (same frame, same window definition, same resources),
// plus a watch that reports the first complete paint of the main window's
// client area (background, labels and logo are painted in that one pass).
// Afterwards the main window is closed the normal way, so the program ends
// through its own exit path with its own status; with BENCH_AFTER_PAINT=stay
// it stays open instead.
#include <cstdlib>
#include <string_view>

#include "app/frame.h"
#include "app/widgets.h"
#include "bench/first_paint.h"
#include "ui/main/main_window.h"

int main(int argc, char** argv) {
  const char* after = std::getenv("BENCH_AFTER_PAINT");
  const bool stay = after != nullptr && std::string_view(after) == "stay";
  bench::WatchFirstPaint([](QWidget* w) { return dynamic_cast<frame::ClientArea*>(w) != nullptr; },
                         [stay] {
                           if (stay) return;
                           if (frame::Window* w = frame::FindWindow(ui::MainWindowDefinition()))
                             frame::RequestDestroy(*w);
                         });
  return frame::Run(argc, argv, ui::MainWindowDefinition());
}
