// The program frame: window definitions, handler tables and the four
// operations handlers use (load a window, request its destruction, show a
// message box, report a fatal error). This header is free of toolkit types;
// the frame itself is built on Qt in app/*.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/codepage.h"

namespace frame {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A stored font. `height` is a character height in pixels; negative means the
// height of the characters without internal leading (the usual way fonts are
// stored here). An empty face means the toolkit's default GUI font.
struct Font {
  std::string face;
  int height = 0;
  int weight = 400;  // 400 regular, 700 bold
};

enum class ControlKind { TransparentLabel, EditBox, PictureBox, HyperlinkBox };
enum class HAlign { Left, Centre, Right };
enum class VAlign { Top, Centre, Bottom };
enum class TextEffect { None, Raised, Sunken, Shadow };
enum class Cursor { Arrow, PointingHand };
enum class ScrollBars { None, Vertical };

// One control of a window definition. Only the fields its kind uses matter.
struct ControlDef {
  std::string name;
  ControlKind kind = ControlKind::TransparentLabel;
  int left = 0, top = 0, width = 0, height = 0;
  GbText text;                // caption of a label or link, content of an edit box
  std::optional<Font> font;   // none: the default GUI font
  Rgb colour{};               // text colour of a label, normal colour of a link
  HAlign hAlign = HAlign::Left;
  VAlign vAlign = VAlign::Centre;
  TextEffect effect = TextEffect::None;
  Cursor cursor = Cursor::Arrow;
  bool visible = true;
  bool enabled = true;
  std::string picture;        // picture box: resource path of a JPEG, stretched
  ScrollBars scrollBars = ScrollBars::None;  // edit box
  std::string address;        // hyperlink box: web address
  Rgb overColour{};           // hyperlink box: while the pointer is over it
  Rgb openedColour{};         // hyperlink box: after a successful open
};

// A menu item. A caption of "-" is a separator; an item with sub-items opens
// its submenu and raises nothing itself.
struct MenuItemDef {
  std::string name;
  GbText caption;
  std::vector<MenuItemDef> items;
};

enum class Event { Created, LeftPressed, LeftReleased, Selected };

enum KeyState : int { kCtrl = 1, kShift = 2, kAlt = 4 };

// Mouse arguments: the pointer from the control's top-left corner and the
// key state (sum of kCtrl, kShift, kAlt). Zero for other events.
struct EventArgs {
  std::uint16_t x = 0, y = 0;
  int keys = 0;
};

class Window;
using Handler = std::function<void(Window&, const EventArgs&)>;

// One row of a handler table. An empty source is the window itself;
// otherwise a control's or a menu item's name.
struct HandlerEntry {
  std::string source;
  Event event;
  Handler run;
};

// A window definition: settings, controls in stacking order (the first on
// top), menu bar and handler table. Width and height are the outer size.
struct WindowDef {
  std::string name;
  GbText title;
  int left = 0, top = 0, width = 0, height = 0;
  bool centred = true;
  bool minimiseButton = false;
  bool maximiseButton = false;
  bool showInTaskbar = true;
  bool escCloses = true;
  std::string background;  // resource path of a JPEG drawn stretched; empty: face colour
  std::vector<ControlDef> controls;
  std::vector<MenuItemDef> menu;
  std::vector<HandlerEntry> handlers;
};

// A control of a live window, addressed by name from handlers.
class Control {
 public:
  virtual ~Control() = default;
  virtual GbText Text() const = 0;
  virtual void SetText(const GbText& text) = 0;
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual int Width() const = 0;
  virtual void SetWidth(int width) = 0;
  virtual int Height() const = 0;
  virtual void SetHeight(int height) = 0;
  // The size member of a label's font in points; setting it keeps the other
  // members and makes the character height points x vertical dpi / 72 pixels.
  virtual int FontSize() const = 0;
  virtual void SetFontSize(int points) = 0;
};

// A live loaded window.
class Window {
 public:
  virtual ~Window() = default;
  virtual const WindowDef& Definition() const = 0;
  // The control of this window with that name; an unknown name is fatal.
  virtual Control& operator[](std::string_view name) = 0;
  // Outer size, as stored.
  virtual int Width() const = 0;
  virtual int Height() const = 0;
};

// Message-box styles the program uses.
enum MessageBoxStyle : int { kOk = 0, kIconError = 0x10, kSystemModal = 0x1000 };

// Entry: builds the toolkit, loads `start` and runs the main loop. Returns the
// exit status (0 after a normal end).
int Run(int argc, char** argv, const WindowDef& start);

// Loads a definition. False when the owner is not a live window or the
// window cannot be made. With `modal` it returns after the window has gone.
bool LoadWindow(const WindowDef& def, Window* owner, bool modal);

// The live window of a definition, or null.
Window* FindWindow(const WindowDef& def);

// Marks `window` for destruction and returns at once; it goes when the frame
// next takes its messages.
void RequestDestroy(Window& window);

// A message box without owner; task-modal unless kSystemModal is given.
// Without a title the title is "信息：". Returns the button chosen (1: OK).
int ShowMessageBox(const GbText& text, int style = kOk,
                   const std::optional<GbText>& title = std::nullopt);

// Reports a fatal error in a box and ends the process with status -1.
[[noreturn]] void FatalError(const GbText& message, int code);

// The text of the fatal-error box.
GbText FatalErrorText(const GbText& message, int code);

// An allocation of the program's own that failed, with the size it asked for.
// The frame turns it into the fatal error "分配 n 字节内存失败!".
struct AllocationFailure : std::bad_alloc {
  explicit AllocationFailure(std::size_t n) : bytes(n) {}
  const char* what() const noexcept override { return "allocation failed"; }
  std::size_t bytes;
};

// The bytes of a resource built into the program (":/texts/usage.txt").
std::string ReadResource(std::string_view path);

// The system's milliseconds since start-up, 32 bits, wrapping.
std::uint32_t TickCount();

}  // namespace frame
