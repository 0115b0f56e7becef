#include "ui/main/main_window.h"

#include "app/shell.h"
#include "dice/dice.h"
#include "ui/info/info_windows.h"
#include "ui/site.h"

namespace ui {
namespace {

using frame::Cursor;
using frame::ControlDef;
using frame::ControlKind;
using frame::Event;
using frame::Font;
using frame::Gb;
using frame::HAlign;
using frame::Rgb;
using frame::TextEffect;
using frame::Window;

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kPink{255, 128, 192};
constexpr Rgb kMagenta{255, 0, 255};

Font Song(int height, int weight) { return Font{"宋体", height, weight}; }

ControlDef Label(const char* name, int left, int top, int width, int height, const char* caption,
                 std::optional<Font> font, Rgb colour, HAlign align) {
  return ControlDef{.name = name,
                    .kind = ControlKind::TransparentLabel,
                    .left = left,
                    .top = top,
                    .width = width,
                    .height = height,
                    .text = Gb(caption),
                    .font = std::move(font),
                    .colour = colour,
                    .hAlign = align};
}

ControlDef Marker(const char* name, int left, int top, int width, int height) {
  return Label(name, left, top, width, height, "□", Song(-14, 400), kRed, HAlign::Centre);
}

ControlDef KindCaption(const char* name, int left, int top, int width, int height, const char* caption) {
  return Label(name, left, top, width, height, caption, Song(-12, 700), kPink, HAlign::Centre);
}

ControlDef FaceListBox(const char* name, int left, int top, int width) {
  return ControlDef{.name = name,
                    .kind = ControlKind::EditBox,
                    .left = left,
                    .top = top,
                    .width = width,
                    .height = 0,
                    .text = dice::StoredListText(name),
                    .visible = false};
}

// The four markers and the kind each one chooses.
struct MarkerKind {
  const char* marker;
  dice::DiceKind kind;
};
constexpr MarkerKind kMarkers[] = {
    {"透明情趣骰子", dice::Intimate},
    {"透明家务骰子", dice::Chores},
    {"透明就餐游玩骰子", dice::Outing},
    {"透明分歧吵架道歉骰子", dice::Quarrel},
};

std::vector<ControlDef> Controls() {
  ControlDef forum = Label("透明标签6", 137, 244, 151, 47, "点击进入52dozo", Song(-12, 700), kRed,
                           HAlign::Left);
  forum.cursor = Cursor::PointingHand;
  ControlDef blog = Label("透明标签3", 7, 257, 137, 23, "点击进入Mibbet博客", Song(-12, 700), kRed,
                          HAlign::Centre);
  blog.cursor = Cursor::PointingHand;
  ControlDef roll = Label("透明按钮", 128, 120, 96, 40, "摇骰子", Song(-24, 700), kRed, HAlign::Centre);
  roll.effect = TextEffect::Shadow;
  return {
      forum,
      Label("透明标签5", -4, 280, 368, 20, "使用说明：1.请先选择要摇骰子的种类。2.点击摇骰子就可以了",
            std::nullopt, kMagenta, HAlign::Centre),
      blog,
      roll,
      Label("透明显示3", 72, 55, 215, 39, "", Song(-16, 700), kRed, HAlign::Centre),
      Label("透明显示2", 182, 60, 122, 32, "", Song(-16, 700), kRed, HAlign::Centre),
      Label("透明显示1", 112, 62, 64, 28, "", Song(-16, 700), kRed, HAlign::Left),
      KindCaption("透明标签4", 266, 8, 104, 24, "分歧吵架道歉骰子"),
      Marker("透明分歧吵架道歉骰子", 250, 8, 16, 24),
      KindCaption("透明标签2", 166, 8, 87, 24, "就餐游玩骰子"),
      Marker("透明就餐游玩骰子", 153, 9, 19, 22),
      KindCaption("透明", 99, 12, 51, 16, "家务骰子"),
      Marker("透明家务骰子", 82, 12, 16, 16),
      KindCaption("透明标签1", 24, 12, 52, 16, "情趣骰子"),
      Marker("透明情趣骰子", -2, 6, 31, 29),
      FaceListBox("编辑框5", 272, 96, 0),
      ControlDef{.name = "图片框1",
                 .kind = ControlKind::PictureBox,
                 .left = 264,
                 .top = 245,
                 .width = 96,
                 .height = 36,
                 .picture = ":/pictures/logo.jpg"},
      FaceListBox("编辑框4", 224, 96, 0),
      FaceListBox("编辑框3", 312, 72, 8),
      FaceListBox("编辑框2", 16, 72, 16),
      FaceListBox("编辑框1", -8, 168, 8),
  };
}

std::vector<frame::MenuItemDef> Menu() {
  return {
      {"菜单", Gb("菜单"), {{"关于", Gb("关于"), {}}, {"分隔线", "-", {}}, {"退出", Gb("退出"), {}}}},
      {"程序说明", Gb("程序说明"), {{"更新说明", Gb("更新说明"), {}}, {"使用说明", Gb("使用说明"), {}}}},
  };
}

void Created(Window& w, const frame::EventArgs&) {
  dice::SeedGenerator();
  w["透明显示3"].SetVisible(false);
}

std::vector<frame::HandlerEntry> Handlers() {
  std::vector<frame::HandlerEntry> table = {
      {"", Event::Created, Created},
      {"透明按钮", Event::LeftPressed,
       [](Window& w, const frame::EventArgs&) {
         w["透明按钮"].SetFontSize(12);
         dice::RollDice(w);
       }},
      {"透明按钮", Event::LeftReleased,
       [](Window& w, const frame::EventArgs&) { w["透明按钮"].SetFontSize(14); }},
      {"透明标签3", Event::LeftPressed,
       [](Window&, const frame::EventArgs&) { frame::shell::OpenAddress(kBlogHost); }},
      {"透明标签6", Event::LeftPressed,
       [](Window&, const frame::EventArgs&) { frame::shell::OpenAddress(kForumHost); }},
      {"关于", Event::Selected,
       [](Window&, const frame::EventArgs&) {
         frame::ShowMessageBox(AboutText(), frame::kOk, Gb("注意"));
       }},
      {"退出", Event::Selected, [](Window& w, const frame::EventArgs&) { frame::RequestDestroy(w); }},
      {"更新说明", Event::Selected,
       [](Window& w, const frame::EventArgs&) { frame::LoadWindow(NotesWindowDefinition(), &w, true); }},
      {"使用说明", Event::Selected,
       [](Window& w, const frame::EventArgs&) { frame::LoadWindow(UsageWindowDefinition(), &w, true); }},
  };
  for (const MarkerKind& m : kMarkers) {
    const int kind = m.kind;
    table.push_back({m.marker, Event::LeftPressed,
                     [kind](Window& w, const frame::EventArgs&) { SelectKind(w, kind); }});
  }
  return table;
}

}  // namespace

frame::GbText AboutText() {
  const std::string lines = std::string(kAuthorStatement) + "\r\n" +
                            "\r\n" +
                            " 因使用本软件造成一切后果，作者不负任何责任！\r\n" +
                            "\r\n" +
                            "如有问题请联系：" + kAuthorEmail + "，\r\n" +
                            "\r\n" +
                            "或登陆 " + kBlogAddress + "  提交留言  ";
  return Gb(lines);
}

void SelectKind(Window& w, int kind) {
  for (const MarkerKind& m : kMarkers) w[m.marker].SetText(Gb(m.kind == kind ? "■" : "□"));
  const bool intimate = kind == dice::Intimate;
  w["透明显示1"].SetVisible(intimate);
  w["透明显示2"].SetVisible(intimate);
  w["透明显示3"].SetVisible(!intimate);
  dice::diceKind = kind;
}

const frame::WindowDef& MainWindowDefinition() {
  static const frame::WindowDef def{
      .name = "MainWindow",
      .title = Gb("Dorvessa   BY：Mibbet"),
      .left = 50,
      .top = 50,
      .width = 377,
      .height = 353,
      .centred = true,
      .minimiseButton = true,
      .maximiseButton = false,
      .showInTaskbar = true,
      .escCloses = true,
      .background = ":/pictures/background.jpg",
      .controls = Controls(),
      .menu = Menu(),
      .handlers = Handlers(),
  };
  return def;
}

}  // namespace ui
