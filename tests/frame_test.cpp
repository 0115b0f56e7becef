// The frame on the offscreen platform: loading (plain and modal), owners,
// destruction, event delivery, Esc, message boxes, fatal errors, placement,
// taskbar entries, and the main window's stacking and first show.
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/shell.h"
#include "dice/dice.h"
#include "fatal_box.h"
#include "test_util.h"
#include "ui/main/main_window.h"

using frame::ControlDef;
using frame::ControlKind;
using frame::Event;
using frame::EventArgs;
using frame::Gb;
using frame::Window;
using frame::WindowDef;

namespace {

// ---- Test windows ----

// What the test windows' handlers did, in order.
std::vector<std::string>& Log() {
  static std::vector<std::string> log;
  return log;
}

// A handler that records "<what> x,y keys" (mouse) or "<what>".
frame::Handler Record(const std::string& what, bool withArgs = true) {
  return [what, withArgs](Window&, const EventArgs& a) {
    Log().push_back(withArgs ? what + " " + std::to_string(a.x) + "," + std::to_string(a.y) + " " +
                                   std::to_string(a.keys)
                             : what);
  };
}

ControlDef TestLabel(const char* name, int left, int top, int width, int height) {
  return ControlDef{.name = name,
                    .kind = ControlKind::TransparentLabel,
                    .left = left,
                    .top = top,
                    .width = width,
                    .height = height,
                    .text = Gb(name)};
}

// 200 x 150 outer, so a client area of 194 x 121 without menu bar. A and B
// overlap at x 30..49, y 15..29 with A on top; C stands alone; E is an edit
// box; H is a label the created handler of some windows hides.
WindowDef Board(const std::string& name, const std::function<void(WindowDef&)>& tweak = {}) {
  WindowDef def{.name = name,
                .title = Gb("测试"),
                .left = 40,
                .top = 30,
                .width = 200,
                .height = 150,
                .centred = true,
                .controls = {TestLabel("A", 10, 10, 40, 20), TestLabel("B", 30, 15, 40, 20),
                             TestLabel("C", 100, 10, 40, 20),
                             ControlDef{.name = "E",
                                        .kind = ControlKind::EditBox,
                                        .left = 10,
                                        .top = 60,
                                        .width = 100,
                                        .height = 40,
                                        .text = Gb("第一行\r\n第二行")},
                             TestLabel("H", 150, 60, 30, 20)}};
  def.handlers = {{"", Event::Created, Record("created " + name, false)}};
  for (const char* c : {"A", "B", "C", "H"}) {
    def.handlers.push_back({c, Event::LeftPressed, Record(name + " press " + c)});
    def.handlers.push_back({c, Event::LeftReleased, Record(name + " release " + c)});
  }
  if (tweak) tweak(def);
  return def;
}

const WindowDef& First() {
  static const WindowDef def = Board("First");
  return def;
}
const WindowDef& Second() {
  static const WindowDef def = Board("Second");
  return def;
}
const WindowDef& Modal1() {
  static const WindowDef def = Board("Modal1");
  return def;
}
const WindowDef& Modal2() {
  static const WindowDef def = Board("Modal2");
  return def;
}
const WindowDef& WithMenu() {
  static const WindowDef def = Board("WithMenu", [](WindowDef& d) {
    d.menu = {{"文件", Gb("文件"), {{"打开", Gb("打开"), {}}, {"-", "-", {}}, {"关闭", Gb("关闭"), {}}}}};
    d.handlers.push_back({"打开", Event::Selected, Record("selected 打开", false)});
  });
  return def;
}
const WindowDef& NoEsc() {
  static const WindowDef def = Board("NoEsc", [](WindowDef& d) { d.escCloses = false; });
  return def;
}
const WindowDef& NoTaskbar() {
  static const WindowDef def = Board("NoTaskbar", [](WindowDef& d) { d.showInTaskbar = false; });
  return def;
}
const WindowDef& Placed() {
  static const WindowDef def = Board("Placed", [](WindowDef& d) { d.centred = false; });
  return def;
}
// Its created handler hides H and notes whether the window was on screen.
const WindowDef& HidesInCreated() {
  static const WindowDef def = Board("HidesInCreated", [](WindowDef& d) {
    d.handlers[0].run = [](Window& w, const EventArgs&) {
      Log().push_back(std::string("created, window visible ") +
                      (frame::TopLevelOf(w)->isVisible() ? "yes" : "no"));
      w["H"].SetVisible(false);
    };
  });
  return def;
}
// A press on A asks for the window's own destruction and notes what is left.
const WindowDef& DestroysItself() {
  static const WindowDef def = Board("DestroysItself", [](WindowDef& d) {
    d.handlers.insert(d.handlers.begin(),
                      {"A", Event::LeftPressed, [](Window& w, const EventArgs&) {
                         frame::RequestDestroy(w);
                         const bool found = frame::FindWindow(DestroysItself()) == &w;
                         const bool shown = frame::TopLevelOf(w) && frame::TopLevelOf(w)->isVisible();
                         Log().push_back(std::string("after request: ") + (found ? "loaded" : "gone") +
                                         (shown ? ", shown" : ", not shown"));
                       }});
  });
  return def;
}
// A press on A fails an allocation of the program's own.
const WindowDef& Thrower() {
  static const WindowDef def = Board("Thrower", [](WindowDef& d) {
    d.handlers.insert(d.handlers.begin(), {"A", Event::LeftPressed, [](Window&, const EventArgs&) {
                                             throw frame::AllocationFailure(123456);
                                           }});
  });
  return def;
}

std::vector<const WindowDef*> AllTestWindows() {
  return {&First(),   &Second(),         &Modal1(),         &Modal2(),        &WithMenu(),
          &NoEsc(),   &NoTaskbar(),      &Placed(),         &HidesInCreated(), &DestroysItself(),
          &Thrower(), &ui::MainWindowDefinition()};
}

// Lets posted messages (such as destruction requests) through.
void TakeMessages() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

int Count(const std::string& entry) {
  return static_cast<int>(std::count(Log().begin(), Log().end(), entry));
}

// Widgets that were shown, and the widgets that received mouse presses, by
// object name, from an application-wide filter.
class Watcher : public QObject {
 public:
  Watcher() { qApp->installEventFilter(this); }
  ~Watcher() override { qApp->removeEventFilter(this); }
  std::vector<std::string> shown;
  std::vector<std::string> pressed;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    auto* w = qobject_cast<QWidget*>(o);
    if (w == nullptr) return false;
    if (e->type() == QEvent::Show) shown.push_back(w->objectName().toStdString());
    if (e->type() == QEvent::MouseButtonPress) pressed.push_back(w->objectName().toStdString());
    return false;
  }
};

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log().clear();
    frame::shell::SetLauncher([this](const std::string& program, const std::vector<std::string>& args) {
      launches.push_back(program + (args.empty() ? "" : " " + args.front()));
      return true;
    });
  }
  void TearDown() override {
    for (const WindowDef* def : AllTestWindows())
      if (Window* w = frame::FindWindow(*def)) frame::RequestDestroy(*w);
    TakeMessages();
    for (const WindowDef* def : AllTestWindows()) EXPECT_EQ(frame::FindWindow(*def), nullptr) << def->name;
    frame::shell::SetLauncher({});
    dice::diceKind = dice::None;
    EXPECT_EQ(QGuiApplication::mouseButtons(), Qt::NoButton) << "a test left the button down";
  }

  // Loads `def` without owner, not modal, and returns its window.
  Window& Load(const WindowDef& def) {
    EXPECT_TRUE(frame::LoadWindow(def, nullptr, false)) << def.name;
    Window* w = frame::FindWindow(def);
    if (w == nullptr) throw std::runtime_error("not loaded: " + def.name);
    return *w;
  }
  static frame::TopLevel* Top(Window& w) { return frame::TopLevelOf(w); }

  std::vector<std::string> launches;
};

// ---- Loading ----

TEST_F(FrameTest, LoadingBuildsShowsAndRaisesCreatedOnce) {
  Window& w = Load(First());
  EXPECT_EQ(Log(), std::vector<std::string>{"created First"});
  EXPECT_TRUE(Top(w)->isVisible());
  EXPECT_EQ(frame::Utf8(w["A"].Text()), "A");
  EXPECT_EQ(w["E"].Text(), Gb("第一行\r\n第二行"));
  EXPECT_EQ(w.Width(), 200);
  EXPECT_EQ(w.Height(), 150);
}

TEST_F(FrameTest, LoadingALoadedWindowActivatesItAndMakesNoSecond) {
  Window& first = Load(First());
  QPointer<frame::TopLevel> top = Top(first);
  Load(Second());
  TakeMessages();
  EXPECT_EQ(QGuiApplication::focusWindow(), testutil::NativeWindow(*frame::FindWindow(Second())));

  // Asked modally, it neither waits nor disables anything.
  bool messagesTaken = false;
  QTimer::singleShot(0, [&] { messagesTaken = true; });
  EXPECT_TRUE(frame::LoadWindow(First(), nullptr, true));
  EXPECT_FALSE(messagesTaken) << "a second load must not wait";
  EXPECT_TRUE(frame::LoadWindow(First(), nullptr, false));
  TakeMessages();
  EXPECT_EQ(frame::FindWindow(First()), &first);
  EXPECT_EQ(Top(first), top.data());
  EXPECT_EQ(Count("created First"), 1);
  EXPECT_EQ(QGuiApplication::focusWindow(), testutil::NativeWindow(first));
  EXPECT_TRUE(Top(*frame::FindWindow(Second()))->isEnabled());
}

TEST_F(FrameTest, LoadingAMinimisedWindowRestoresIt) {
  Window& w = Load(First());
  Top(w)->showMinimized();
  TakeMessages();
  ASSERT_TRUE(Top(w)->isMinimized());
  EXPECT_TRUE(frame::LoadWindow(First(), nullptr, false));
  TakeMessages();
  EXPECT_FALSE(Top(w)->isMinimized());
  EXPECT_EQ(Count("created First"), 1);
}

// A stand-in that is a Window but was never loaded.
class NotLoaded final : public Window {
 public:
  const WindowDef& Definition() const override { return First(); }
  frame::Control& operator[](std::string_view) override { std::abort(); }
  int Width() const override { return 0; }
  int Height() const override { return 0; }
};

TEST_F(FrameTest, AnOwnerThatIsNotALiveWindowLoadsNothing) {
  Window& gone = Load(First());
  frame::RequestDestroy(gone);
  TakeMessages();
  ASSERT_EQ(frame::FindWindow(First()), nullptr);
  NotLoaded stranger;
  for (Window* owner : {&gone, static_cast<Window*>(&stranger)}) {
    for (bool modal : {false, true}) {
      EXPECT_FALSE(frame::LoadWindow(Second(), owner, modal));
      EXPECT_EQ(frame::FindWindow(Second()), nullptr);
    }
  }
  EXPECT_EQ(Count("created Second"), 0);

  Window& owner = Load(First());
  EXPECT_TRUE(frame::LoadWindow(Second(), &owner, false));
  EXPECT_NE(frame::FindWindow(Second()), nullptr);
}

TEST_F(FrameTest, CreatedRunsBeforeTheFirstShow) {
  Watcher watcher;
  Window& w = Load(HidesInCreated());
  TakeMessages();
  EXPECT_EQ(Log(), std::vector<std::string>{"created, window visible no"});
  EXPECT_TRUE(Top(w)->isVisible());
  EXPECT_FALSE(w["H"].Visible());
  EXPECT_FALSE(frame::ControlWidget(w, "H")->isVisible());
  EXPECT_EQ(std::count(watcher.shown.begin(), watcher.shown.end(), "H"), 0) << "H was on screen";
  EXPECT_EQ(std::count(watcher.shown.begin(), watcher.shown.end(), "A"), 1);
}

// ---- Destruction ----

TEST_F(FrameTest, RequestDestroyReturnsAtOnceAndTheWindowGoesWithItsMessage) {
  Window& w = Load(DestroysItself());
  Window& other = Load(Second());
  QPointer<frame::TopLevel> top = Top(w);
  // QTest takes the posted messages after delivering the press.
  testutil::Press(w, {15, 15});
  EXPECT_EQ(Log().back(), "after request: loaded, shown");
  EXPECT_TRUE(top.isNull());
  EXPECT_EQ(frame::FindWindow(DestroysItself()), nullptr);
  // The button comes up over the window that is left.
  testutil::Release(other, {190, 5});

  Window& again = Load(First());
  top = Top(again);
  frame::RequestDestroy(again);
  EXPECT_EQ(frame::FindWindow(First()), &again);
  EXPECT_TRUE(top && top->isVisible());
  TakeMessages();
  EXPECT_TRUE(top.isNull());
  EXPECT_EQ(frame::FindWindow(First()), nullptr);
}

TEST_F(FrameTest, APendingDestructionIsCarriedOutBeforeAFreshLoad) {
  Window& w = Load(First());
  QPointer<frame::TopLevel> old = Top(w);
  w["A"].SetText(Gb("改过"));
  frame::RequestDestroy(w);
  EXPECT_TRUE(frame::LoadWindow(First(), nullptr, false));
  EXPECT_TRUE(old.isNull()) << "the old window goes first";
  EXPECT_EQ(Count("created First"), 2);
  Window* fresh = frame::FindWindow(First());
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(frame::Utf8((*fresh)["A"].Text()), "A") << "built afresh from its definition";
  // The request's message, taken later, leaves the fresh window alone.
  TakeMessages();
  ASSERT_EQ(frame::FindWindow(First()), fresh);
  EXPECT_TRUE(Top(*fresh)->isVisible());
}

// ---- Modal loading ----

// How a test closes the modal window it opened.
struct CloseWay {
  const char* name;
  std::function<void(Window&)> close;
  bool enabledAtOnce;  // the others are enabled again when `close` returns
};
void PrintTo(const CloseWay& c, std::ostream* os) { *os << c.name; }

class ModalClose : public FrameTest, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(ModalClose, DisablesTheOthersUntilClosedAndReturnsAfterward) {
  Window& main = Load(First());
  Window& off = Load(Second());
  Top(off)->setEnabled(false);  // already disabled: stays so
  QPointer<frame::TopLevel> modalTop;
  bool returned = false;
  bool ranInside = false;
  std::vector<std::string> atDestruction;
  QTimer::singleShot(0, [&] {
    ranInside = true;
    Window* m = frame::FindWindow(Modal1());
    ASSERT_NE(m, nullptr);
    modalTop = Top(*m);
    EXPECT_FALSE(returned);
    EXPECT_TRUE(modalTop->isVisible());
    EXPECT_TRUE(modalTop->isEnabled());
    EXPECT_FALSE(Top(main)->isEnabled());
    EXPECT_FALSE(Top(off)->isEnabled());
    // Input to the disabled window raises nothing.
    testutil::Click(main, {15, 15});
    QTest::keyClick(testutil::NativeWindow(main), Qt::Key_Escape);
    EXPECT_NE(frame::FindWindow(First()), nullptr);
    // The modal window itself takes input.
    testutil::Click(*m, {110, 15});
    QObject::connect(modalTop.data(), &QObject::destroyed, [&] {
      atDestruction.push_back(std::string("main ") + (Top(main)->isEnabled() ? "enabled" : "disabled"));
      atDestruction.push_back(std::string("off ") + (Top(off)->isEnabled() ? "enabled" : "disabled"));
    });
    GetParam().close(*m);
    EXPECT_EQ(Top(main)->isEnabled(), GetParam().enabledAtOnce);
    EXPECT_FALSE(Top(off)->isEnabled());
  });
  EXPECT_TRUE(frame::LoadWindow(Modal1(), &main, true));
  returned = true;
  EXPECT_TRUE(ranInside);
  EXPECT_TRUE(modalTop.isNull()) << "returns only after the window has gone";
  EXPECT_EQ(frame::FindWindow(Modal1()), nullptr);
  EXPECT_EQ(atDestruction, (std::vector<std::string>{"main enabled", "off disabled"}));
  EXPECT_TRUE(Top(main)->isEnabled());
  EXPECT_FALSE(Top(off)->isEnabled());
  EXPECT_EQ(Log(), (std::vector<std::string>{"created First", "created Second", "created Modal1",
                                             "Modal1 press C 10,5 0", "Modal1 release C 10,5 0"}));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ModalClose,
    ::testing::Values(
        CloseWay{"close", [](Window& w) { frame::TopLevelOf(w)->close(); }, true},
        CloseWay{"Esc", [](Window& w) { QTest::keyClick(testutil::NativeWindow(w), Qt::Key_Escape); },
                 true},
        CloseWay{"EscInEditBox",
                 [](Window& w) {
                   frame::ControlWidget(w, "E")->setFocus();
                   QTest::keyClick(testutil::NativeWindow(w), Qt::Key_Escape);
                 },
                 true},
        // The request keeps the window, and the others disabled, until its
        // message is taken.
        CloseWay{"RequestDestroy", [](Window& w) { frame::RequestDestroy(w); }, false}),
    [](const ::testing::TestParamInfo<CloseWay>& info) { return std::string(info.param.name); });

TEST_F(FrameTest, NestedModalWindowsGiveBackWhatEachDisabled) {
  Window& main = Load(First());
  std::vector<std::string> seen;
  auto state = [&](const char* when) {
    std::string s = when;
    for (const WindowDef* def : {&First(), &Modal1(), &Modal2()}) {
      Window* w = frame::FindWindow(*def);
      s += " " + def->name + (w == nullptr ? ":gone" : Top(*w)->isEnabled() ? ":on" : ":off");
    }
    seen.push_back(s);
  };
  QTimer::singleShot(0, [&] {
    state("in Modal1");
    QTimer::singleShot(0, [&] {
      state("in Modal2");
      frame::TopLevelOf(*frame::FindWindow(Modal2()))->close();
    });
    EXPECT_TRUE(frame::LoadWindow(Modal2(), frame::FindWindow(Modal1()), true));
    state("after Modal2");
    frame::TopLevelOf(*frame::FindWindow(Modal1()))->close();
  });
  EXPECT_TRUE(frame::LoadWindow(Modal1(), &main, true));
  state("after Modal1");
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "in Modal1 First:off Modal1:on Modal2:gone",
                      "in Modal2 First:off Modal1:off Modal2:on",
                      "after Modal2 First:off Modal1:on Modal2:gone",
                      "after Modal1 First:on Modal1:gone Modal2:gone",
                  }));
}

// ---- Taskbar entries and placement ----

struct TaskbarCase {
  const char* name;
  const WindowDef* (*def)();
  bool modal;
  bool ownEntry;
};
void PrintTo(const TaskbarCase& c, std::ostream* os) { *os << c.name; }

class Taskbar : public FrameTest, public ::testing::WithParamInterface<TaskbarCase> {};

TEST_P(Taskbar, OnlyAPlainWindowThatAsksForOneGetsAnEntry) {
  const TaskbarCase& c = GetParam();
  Window& main = Load(First());
  auto check = [&](Window& w) {
    frame::TopLevel* top = Top(w);
    if (c.ownEntry) {
      EXPECT_EQ(top->parentWidget(), nullptr);
      EXPECT_EQ(testutil::NativeWindow(w)->transientParent(), nullptr);
      return;
    }
    // Owned by the frame's hidden owner, never by a window of the program.
    QWidget* owner = top->parentWidget();
    ASSERT_NE(owner, nullptr);
    EXPECT_FALSE(owner->isVisible());
    EXPECT_EQ(dynamic_cast<frame::TopLevel*>(owner), nullptr);
    EXPECT_TRUE(top->isWindow());
    ASSERT_NE(testutil::NativeWindow(w)->transientParent(), nullptr);
    EXPECT_EQ(testutil::NativeWindow(w)->transientParent(), owner->windowHandle());
  };
  if (!c.modal) {
    check(Load(*c.def()));
    return;
  }
  bool checked = false;
  QTimer::singleShot(0, [&] {
    Window* w = frame::FindWindow(*c.def());
    ASSERT_NE(w, nullptr);
    check(*w);
    checked = true;
    Top(*w)->close();
  });
  EXPECT_TRUE(frame::LoadWindow(*c.def(), &main, true));
  EXPECT_TRUE(checked);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Taskbar,
    ::testing::Values(TaskbarCase{"Plain", [] { return &Second(); }, false, true},
                      TaskbarCase{"SettingOff", [] { return &NoTaskbar(); }, false, false},
                      TaskbarCase{"Modal", [] { return &Modal1(); }, true, false},
                      TaskbarCase{"ModalSettingOff", [] { return &NoTaskbar(); }, true, false}),
    [](const ::testing::TestParamInfo<TaskbarCase>& info) { return std::string(info.param.name); });

QPoint ClientOnScreen(Window& w) { return testutil::Client(w)->mapToGlobal(QPoint(0, 0)); }
int MenuBarHeight(Window& w) {
  QMenuBar* bar = frame::TopLevelOf(w)->MenuBar();
  return bar == nullptr ? 0 : bar->height();
}

TEST_F(FrameTest, TheOuterRectangleIsCentredAndTheClientAreaSitsInsideIt) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  struct Case {
    const WindowDef* def;
    QPoint outer;
  };
  const Case cases[] = {
      {&First(), {(screen.width() - 200) / 2, (screen.height() - 150) / 2}},
      {&WithMenu(), {(screen.width() - 200) / 2, (screen.height() - 150) / 2}},
      {&Placed(), {40, 30}},
  };
  for (const Case& c : cases) {
    Window& w = Load(*c.def);
    TakeMessages();
    const int menu = MenuBarHeight(w);
    if (c.def == &WithMenu()) {
      EXPECT_GT(menu, 0);
    }
    EXPECT_EQ(ClientOnScreen(w), c.outer + QPoint(3, 23 + 3 + menu)) << c.def->name;
    EXPECT_EQ(testutil::Client(w)->size(), QSize(200 - 6, 150 - 29 - menu)) << c.def->name;
  }
}

// ---- Event delivery ----

TEST_F(FrameTest, ThePressInAnOverlapReachesTheEarlierControl) {
  Window& w = Load(First());
  testutil::Click(w, {35, 20});  // inside A and B
  testutil::Click(w, {60, 30});  // inside B only
  EXPECT_EQ(Log(), (std::vector<std::string>{"created First", "First press A 25,10 0",
                                             "First release A 25,10 0", "First press B 30,15 0",
                                             "First release B 30,15 0"}));
}

struct KeyCase {
  Qt::KeyboardModifiers mods;
  int keys;
};
void PrintTo(const KeyCase& c, std::ostream* os) {
  std::string held;
  for (auto [mod, name] : {std::pair{Qt::ControlModifier, "Ctrl+"}, std::pair{Qt::ShiftModifier, "Shift+"},
                           std::pair{Qt::AltModifier, "Alt+"}, std::pair{Qt::MetaModifier, "Meta+"}})
    if (c.mods & mod) held += name;
  *os << (held.empty() ? "no key" : held.substr(0, held.size() - 1)) << " -> " << c.keys;
}

class KeyState : public FrameTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyState, MouseArgumentsCarryPositionInTheControlAndKeys) {
  Window& w = Load(First());
  Log().clear();
  const std::string k = std::to_string(GetParam().keys);
  testutil::Press(w, {103, 12}, GetParam().mods);
  testutil::Release(w, {139, 29}, GetParam().mods);
  EXPECT_EQ(Log(), (std::vector<std::string>{"First press C 3,2 " + k, "First release C 39,19 " + k}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyState,
    ::testing::Values(KeyCase{Qt::NoModifier, 0}, KeyCase{Qt::ControlModifier, 1},
                      KeyCase{Qt::ShiftModifier, 2}, KeyCase{Qt::AltModifier, 4},
                      KeyCase{Qt::ControlModifier | Qt::ShiftModifier, 3},
                      KeyCase{Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier, 7},
                      KeyCase{Qt::MetaModifier, 0}));

TEST_F(FrameTest, ADoubleClickRaisesOnePress) {
  Window& w = Load(First());
  Log().clear();
  testutil::DoubleClick(w, {110, 15});
  EXPECT_EQ(Count("First press C 10,5 0"), 1);
  ASSERT_FALSE(Log().empty());
  EXPECT_EQ(Log().front(), "First press C 10,5 0");
}

TEST_F(FrameTest, TheReleaseGoesToTheControlUnderThePointer) {
  Window& w = Load(First());
  Log().clear();
  testutil::Press(w, {15, 15});
  testutil::Release(w, {105, 25});  // over C
  testutil::Press(w, {105, 25});
  testutil::Release(w, {190, 5});   // over no control
  testutil::Press(w, {155, 65});
  testutil::Release(w, {60, 80});   // over the edit box, which binds nothing
  EXPECT_EQ(Log(), (std::vector<std::string>{"First press A 5,5 0", "First release C 5,15 0",
                                             "First press C 5,15 0", "First press H 5,5 0"}));
}

TEST_F(FrameTest, ADisabledWindowRaisesNothing) {
  Window& w = Load(WithMenu());
  QMenuBar* bar = Top(w)->MenuBar();
  ASSERT_NE(bar, nullptr);
  QAction* open = bar->actions().front()->menu()->actions().front();
  ASSERT_EQ(open->text(), QString("打开"));
  Log().clear();
  Top(w)->setEnabled(false);
  testutil::Click(w, {15, 15});
  testutil::Release(w, {105, 15});
  open->trigger();
  QTest::keyClick(testutil::NativeWindow(w), Qt::Key_Escape);
  TakeMessages();
  EXPECT_EQ(Log(), std::vector<std::string>{});
  EXPECT_EQ(frame::FindWindow(WithMenu()), &w);

  Top(w)->setEnabled(true);
  testutil::Click(w, {15, 15});
  open->trigger();
  EXPECT_EQ(Log(), (std::vector<std::string>{"WithMenu press A 5,5 0", "WithMenu release A 5,5 0",
                                             "selected 打开"}));
}

struct EscCase {
  const char* name;
  const WindowDef* (*def)();
  Qt::KeyboardModifiers mods;
  bool inEditBox;
  bool closes;
};
void PrintTo(const EscCase& c, std::ostream* os) { *os << c.name; }

class Esc : public FrameTest, public ::testing::WithParamInterface<EscCase> {};

TEST_P(Esc, ClosesOnlyWithoutModifiersAndWhereTheWindowSaysSo) {
  const EscCase& c = GetParam();
  Window& w = Load(*c.def());
  QPointer<frame::TopLevel> top = Top(w);
  if (c.inEditBox) {
    auto* edit = qobject_cast<QPlainTextEdit*>(frame::ControlWidget(w, "E"));
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    TakeMessages();
    ASSERT_EQ(top->focusWidget(), edit);
    // Other keys do reach the box.
    QTest::keyClick(testutil::NativeWindow(w), Qt::Key_X);
    EXPECT_TRUE(edit->toPlainText().contains(QChar('x')));
  }
  QTest::keyClick(testutil::NativeWindow(w), Qt::Key_Escape, c.mods);
  TakeMessages();
  EXPECT_EQ(top.isNull(), c.closes);
  EXPECT_EQ(frame::FindWindow(*c.def()) == nullptr, c.closes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Esc,
    ::testing::Values(EscCase{"Plain", [] { return &First(); }, Qt::NoModifier, false, true},
                      EscCase{"InEditBox", [] { return &First(); }, Qt::NoModifier, true, true},
                      EscCase{"Ctrl", [] { return &First(); }, Qt::ControlModifier, false, false},
                      EscCase{"Shift", [] { return &First(); }, Qt::ShiftModifier, true, false},
                      EscCase{"Alt", [] { return &First(); }, Qt::AltModifier, false, false},
                      EscCase{"SettingOff", [] { return &NoEsc(); }, Qt::NoModifier, false, false},
                      EscCase{"SettingOffInEditBox", [] { return &NoEsc(); }, Qt::NoModifier, true,
                              false}),
    [](const ::testing::TestParamInfo<EscCase>& info) { return std::string(info.param.name); });

// ---- Message boxes ----

TEST_F(FrameTest, MessageBoxesBlockEveryWindowWhileUp) {
  Window& w = Load(First());
  Log().clear();
  int result = 0;
  const auto seen = testutil::AnswerBoxes(
      [&] { result = frame::ShowMessageBox(Gb("第一行\r\n第二行")); },
      [&] {
        testutil::Click(w, {15, 15});
        QTest::keyClick(testutil::NativeWindow(w), Qt::Key_Escape);
      });
  ASSERT_EQ(seen.size(), 1u);
  testutil::ExpectPlainBox(seen[0], "信息：", "第一行\n第二行");
  EXPECT_EQ(result, 1);
  TakeMessages();
  EXPECT_EQ(Log(), std::vector<std::string>{}) << "no handler while the box is up";
  EXPECT_EQ(frame::FindWindow(First()), &w);

  const auto titled = testutil::AnswerBoxes(
      [&] { frame::ShowMessageBox(Gb("出错了"), frame::kIconError, Gb("标题")); });
  ASSERT_EQ(titled.size(), 1u);
  EXPECT_EQ(titled[0].title, "标题");
  EXPECT_EQ(titled[0].icon, QMessageBox::Critical);
  EXPECT_EQ(titled[0].buttons, 1);
}

// ---- Fatal errors ----

struct FatalText {
  const char* message;
  int code;
  const char* text;
};

TEST(FatalErrorText, CodeAndMessageAppearOnlyWhenGiven) {
  const FatalText cases[] = {
      {"出错", 7, "运行时出错!\r\n\r\n错误代码：7\r\n\r\n错误信息：出错\r\n"},
      {"出错", 0, "运行时出错!\r\n\r\n错误信息：出错\r\n"},
      {"", 3, "运行时出错!\r\n\r\n错误代码：3\r\n\r\n"},
      {"", 0, "运行时出错!\r\n\r\n"},
      {"", -2, "运行时出错!\r\n\r\n错误代码：-2\r\n\r\n"},
  };
  for (const FatalText& c : cases)
    EXPECT_EQ(frame::FatalErrorText(Gb(c.message), c.code), Gb(c.text)) << c.message << " " << c.code;
}

using FrameDeathTest = FrameTest;

// While the box is up the windows stay but no handler runs; once it is
// answered every window goes and the process ends with status -1.
void FatalWithWindowUp(Window& w, const std::function<void()>& raise) {
  QObject::connect(frame::TopLevelOf(w), &QObject::destroyed, [] {
    bool boxUp = false;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (qobject_cast<QMessageBox*>(top) != nullptr && top->isVisible()) boxUp = true;
    std::fprintf(stderr, "\n[window gone, box up: %s]\n", boxUp ? "yes" : "no");
    std::fflush(stderr);
  });
  testutil::AnswerFatalBox(raise, [&w] {
    const std::size_t before = Log().size();
    testutil::Click(w, {105, 15});
    std::fprintf(stderr, "\n[during box: window %s, handlers run %zu]\n",
                 frame::TopLevelOf(w)->isVisible() ? "shown" : "hidden", Log().size() - before);
    std::fflush(stderr);
  });
}

const char* kAfterBox = ".*\\[during box: window shown, handlers run 0\\].*\\[window gone, box up: no\\]";

TEST_F(FrameDeathTest, FatalErrorShowsItsBoxThenEndsTheProcess) {
  const struct {
    const char* message;
    int code;
  } cases[] = {{"出错", 7}, {"", 3}, {"出错", 0}, {"", 0}};
  for (const auto& c : cases) {
    EXPECT_EXIT(
        {
          Window& w = Load(First());
          FatalWithWindowUp(w, [&] { frame::FatalError(Gb(c.message), c.code); });
        },
        ::testing::ExitedWithCode(255), testutil::FatalBoxPattern(c.message, c.code) + kAfterBox)
        << c.message << " " << c.code;
  }
}

TEST_F(FrameDeathTest, AFailedAllocationInAHandlerIsFatal) {
  EXPECT_EXIT(
      {
        Window& w = Load(Thrower());
        FatalWithWindowUp(w, [&] { testutil::Press(w, {15, 15}); });
      },
      ::testing::ExitedWithCode(255), testutil::FatalBoxPattern("分配 123456 字节内存失败!", 0) + kAfterBox);
}

// ---- The main window ----

class MainWindowLayout : public FrameTest {
 protected:
  Window& LoadMain() { return Load(ui::MainWindowDefinition()); }
};

TEST_F(MainWindowLayout, IsFirstShownWithTheThirdResultAndTheListsHidden) {
  Watcher watcher;
  Window& w = LoadMain();
  TakeMessages();
  EXPECT_TRUE(Top(w)->isVisible());
  EXPECT_EQ(std::count(watcher.shown.begin(), watcher.shown.end(), "透明显示3"), 0);
  EXPECT_FALSE(frame::ControlWidget(w, "透明显示3")->isVisible());
  EXPECT_TRUE(frame::ControlWidget(w, "透明显示1")->isVisible());
  for (const dice::StoredList& list : dice::StoredLists()) {
    const std::string box(list.control);
    EXPECT_FALSE(w[box].Visible()) << box;
    EXPECT_FALSE(frame::ControlWidget(w, box)->isVisible()) << box;
    EXPECT_EQ(std::count(watcher.shown.begin(), watcher.shown.end(), box), 0) << box;
    EXPECT_EQ(w[box].Text(), dice::StoredListText(box)) << box;
  }
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const int menu = MenuBarHeight(w);
  EXPECT_GT(menu, 0);
  EXPECT_EQ(testutil::Client(w)->size(), QSize(377 - 6, 353 - 29 - menu));
  EXPECT_EQ(ClientOnScreen(w),
            QPoint((screen.width() - 377) / 2 + 3, (screen.height() - 353) / 2 + 26 + menu));
}

struct Stacking {
  QPoint at;
  const char* receiver;
  int kindAfter;
};
void PrintTo(const Stacking& c, std::ostream* os) { *os << "(" << c.at.x() << "," << c.at.y() << ")"; }

class MainWindowStacking : public MainWindowLayout, public ::testing::WithParamInterface<Stacking> {};

TEST_P(MainWindowStacking, APressReachesTheControlOnTop) {
  Window& w = LoadMain();
  Watcher watcher;
  testutil::Click(w, GetParam().at);
  ASSERT_FALSE(watcher.pressed.empty());
  EXPECT_EQ(watcher.pressed.front(), GetParam().receiver);
  EXPECT_EQ(dice::diceKind, GetParam().kindAfter);
  const bool forum = std::string(GetParam().receiver) == "透明标签6";
  EXPECT_EQ(launches, forum ? std::vector<std::string>{"xdg-open http://52dozo.example.com"}
                            : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Points, MainWindowStacking,
    ::testing::Values(Stacking{{252, 15}, "透明分歧吵架道歉骰子", dice::Quarrel},
                      Stacking{{169, 15}, "透明标签2", dice::None},
                      Stacking{{26, 20}, "透明标签1", dice::None},
                      Stacking{{10, 20}, "透明情趣骰子", dice::Intimate},
                      Stacking{{280, 250}, "透明标签6", dice::None},  // over the logo
                      Stacking{{137, 244}, "透明标签6", dice::None},
                      Stacking{{287, 290}, "透明标签6", dice::None},
                      Stacking{{300, 260}, "图片框1", dice::None}));

}  // namespace
