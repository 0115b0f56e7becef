// The main window's behaviour as a player meets it: presses at client-area
// points reach the topmost control there, the markers choose the kind, the
// roll button shrinks, rolls and grows back, the link labels open the blog
// and the forum, and the menu shows the About box, opens the information
// windows and exits.
#include <QAction>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/shell.h"
#include "dice/dice.h"
#include "test_util.h"
#include "ui/info/info_windows.h"
#include "ui/main/main_window.h"
#include "ui/site.h"

namespace {

using frame::Gb;
using frame::GbText;

// ---- Launches instead of a browser ----

struct Launch {
  std::string program;
  std::vector<std::string> args;
  friend bool operator==(const Launch&, const Launch&) = default;
};

std::vector<Launch> launches;
bool launchesStart = true;

void InstallFakeLauncher() {
  frame::shell::SetLauncher([](const std::string& program, const std::vector<std::string>& args) {
    launches.push_back({program, args});
    return launchesStart;
  });
}

// No test of this program ever starts a real browser.
class NoBrowser : public testing::Environment {
 public:
  void SetUp() override { InstallFakeLauncher(); }
};
[[maybe_unused]] const auto* const kNoBrowser = testing::AddGlobalTestEnvironment(new NoBrowser);

const char* const kMarkers[] = {"透明情趣骰子", "透明家务骰子", "透明就餐游玩骰子", "透明分歧吵架道歉骰子"};
const char* const kResults[] = {"透明显示1", "透明显示2", "透明显示3"};

const QPoint kRollButton(176, 140);

// ---- The fixture: a freshly loaded main window per test ----

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    InstallFakeLauncher();
    launches.clear();
    launchesStart = true;
    dice::diceKind = dice::None;
    Load();
  }

  void TearDown() override {
    if (frame::Window* w = frame::FindWindow(ui::MainWindowDefinition())) frame::RequestDestroy(*w);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(frame::FindWindow(ui::MainWindowDefinition()), nullptr);
    dice::diceKind = dice::None;
  }

  void Load() {
    ASSERT_TRUE(frame::LoadWindow(ui::MainWindowDefinition(), nullptr, false));
    w_ = frame::FindWindow(ui::MainWindowDefinition());
    ASSERT_NE(w_, nullptr);
  }

  frame::Control& operator[](const char* name) { return (*w_)[name]; }
  std::string Caption(const char* name) { return frame::Utf8((*w_)[name].Text()); }

  // The menu item with that caption.
  QAction* MenuAction(const char* caption) {
    QAction* a = testutil::MenuAction(*w_, caption);
    if (a == nullptr) ADD_FAILURE() << "no menu item " << caption;
    return a;
  }

  // Everything a press could change, to see that it changed nothing.
  struct Snapshot {
    int kind;
    std::vector<std::string> captions;
    std::vector<bool> visible;
    int rollPoints;
    std::size_t launchCount;
    bool operator==(const Snapshot&) const = default;
  };
  Snapshot Take() {
    Snapshot s{dice::diceKind, {}, {}, (*this)["透明按钮"].FontSize(), launches.size()};
    for (const char* m : kMarkers) s.captions.push_back(Caption(m));
    for (const char* r : kResults) {
      s.captions.push_back(Caption(r));
      s.visible.push_back((*this)[r].Visible());
    }
    return s;
  }

  frame::Window* w_ = nullptr;
};

int PixelSize(frame::Window& w, const char* label) {
  return dynamic_cast<frame::LabelWidget*>(frame::ControlWidget(w, label))->PixelSize();
}

int PixelsFor(int points) {
  return static_cast<int>(std::lround(points * QGuiApplication::primaryScreen()->logicalDotsPerInchY() / 72.0));
}

std::vector<std::string> FacesOf(const char* box) {
  for (const dice::StoredList& l : dice::StoredLists())
    if (l.control == box) return {l.faces.begin(), l.faces.end()};
  return {};
}

bool Contains(const std::vector<std::string>& faces, const std::string& face) {
  return std::find(faces.begin(), faces.end(), face) != faces.end();
}

// ---- The created handler ----

TEST_F(MainWindowTest, CreatedHidesTheOneDieSlotAndSeedsTheGenerator) {
  EXPECT_FALSE((*this)["透明显示3"].Visible());
  EXPECT_TRUE((*this)["透明显示1"].Visible());
  EXPECT_TRUE((*this)["透明显示2"].Visible());
  EXPECT_EQ((*this)["透明按钮"].FontSize(), 18);
  EXPECT_EQ(PixelSize(*w_, "透明按钮"), 24);

  // A fresh load seeds again: the draws no longer follow a known seed.
  frame::RequestDestroy(*w_);
  QCoreApplication::sendPostedEvents();
  std::srand(1);
  std::vector<int> fromOne;
  for (int i = 0; i < 4; ++i) fromOne.push_back(std::rand());
  std::srand(1);
  Load();
  std::vector<int> afterLoad;
  for (int i = 0; i < 4; ++i) afterLoad.push_back(std::rand());
  EXPECT_NE(afterLoad, fromOne);
}

// ---- Choosing the kind ----

struct KindCase {
  const char* marker;
  int kind;
  QPoint at;
};

void PrintTo(const KindCase& c, std::ostream* os) { *os << c.marker << " at " << c.at.x() << "," << c.at.y(); }

class ChooseKind : public MainWindowTest, public testing::WithParamInterface<KindCase> {};

TEST_P(ChooseKind, MarksTheKindAndShowsItsSlots) {
  const KindCase& c = GetParam();
  // Start from another kind so every marker and slot has to change.
  ui::SelectKind(*w_, c.kind == dice::Chores ? dice::Intimate : dice::Chores);
  testutil::Click(*w_, c.at);
  EXPECT_EQ(dice::diceKind, c.kind);
  for (const char* m : kMarkers)
    EXPECT_EQ(Caption(m), std::string(m) == c.marker ? "■" : "□") << m;
  const bool intimate = c.kind == dice::Intimate;
  EXPECT_EQ((*this)["透明显示1"].Visible(), intimate);
  EXPECT_EQ((*this)["透明显示2"].Visible(), intimate);
  EXPECT_EQ((*this)["透明显示3"].Visible(), !intimate);
}

INSTANTIATE_TEST_SUITE_P(
    Markers, ChooseKind,
    testing::Values(KindCase{"透明情趣骰子", dice::Intimate, {5, 20}},
                    KindCase{"透明家务骰子", dice::Chores, {90, 20}},
                    KindCase{"透明就餐游玩骰子", dice::Outing, {160, 20}},
                    KindCase{"透明分歧吵架道歉骰子", dice::Quarrel, {258, 20}},
                    // The strip of 就餐游玩骰子's caption under the Quarrel marker.
                    KindCase{"透明分歧吵架道歉骰子", dice::Quarrel, {250, 8}},
                    KindCase{"透明分歧吵架道歉骰子", dice::Quarrel, {252, 31}}),
    [](const testing::TestParamInfo<KindCase>& info) {
      return "At" + std::to_string(info.param.at.x()) + "_" + std::to_string(info.param.at.y());
    });

// ---- What a press reaches ----

enum class Effect { Kind, Roll, Blog, Forum, Nothing };

struct PressCase {
  const char* what;
  QPoint at;
  Effect effect;
  int kind = 0;  // for Effect::Kind
};

void PrintTo(const PressCase& c, std::ostream* os) { *os << c.what; }

class PressAt : public MainWindowTest, public testing::WithParamInterface<PressCase> {};

// From a known state (Chores chosen, a sentinel in the one-die slot), a
// click at a point has exactly the effect of the topmost control there.
TEST_P(PressAt, ReachesTheTopmostControl) {
  const PressCase& c = GetParam();
  ui::SelectKind(*w_, dice::Chores);
  (*this)["透明显示3"].SetText(Gb("标记"));
  const Snapshot before = Take();
  testutil::Click(*w_, c.at);
  switch (c.effect) {
    case Effect::Kind:
      EXPECT_EQ(dice::diceKind, c.kind);
      EXPECT_EQ(launches.size(), 0u);
      break;
    case Effect::Roll:
      EXPECT_EQ(dice::diceKind, dice::Chores);
      EXPECT_TRUE(Contains(FacesOf("编辑框4"), Caption("透明显示3"))) << Caption("透明显示3");
      EXPECT_EQ((*this)["透明按钮"].FontSize(), 14);
      EXPECT_EQ(launches.size(), 0u);
      break;
    case Effect::Blog:
      EXPECT_EQ(launches, (std::vector<Launch>{{"xdg-open", {"http://mibbet.example.com"}}}));
      break;
    case Effect::Forum:
      EXPECT_EQ(launches, (std::vector<Launch>{{"xdg-open", {"http://52dozo.example.com"}}}));
      break;
    case Effect::Nothing:
      break;
  }
  if (c.effect == Effect::Blog || c.effect == Effect::Forum || c.effect == Effect::Nothing) {
    Snapshot after = Take();
    after.launchCount = before.launchCount;
    EXPECT_TRUE(after == before) << "the state changed";
    if (c.effect == Effect::Nothing) {
      EXPECT_EQ(launches.size(), 0u);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Points, PressAt,
    testing::Values(
        PressCase{"IntimateMarker", {0, 8}, Effect::Kind, dice::Intimate},
        PressCase{"IntimateMarkerBelowItsCaption", {26, 30}, Effect::Kind, dice::Intimate},
        PressCase{"IntimateCaptionOverItsMarker", {24, 12}, Effect::Nothing},
        PressCase{"IntimateCaptionOverItsMarkerEnd", {28, 27}, Effect::Nothing},
        PressCase{"IntimateCaption", {50, 20}, Effect::Nothing},
        PressCase{"ChoresMarker", {97, 27}, Effect::Kind, dice::Chores},
        PressCase{"ChoresCaption", {120, 20}, Effect::Nothing},
        PressCase{"OutingMarker", {153, 9}, Effect::Kind, dice::Outing},
        PressCase{"OutingCaptionOverItsMarker", {166, 12}, Effect::Nothing},
        PressCase{"OutingCaptionOverItsMarkerEnd", {171, 27}, Effect::Nothing},
        PressCase{"OutingCaption", {200, 20}, Effect::Nothing},
        PressCase{"QuarrelMarkerOverOutingCaption", {251, 20}, Effect::Kind, dice::Quarrel},
        PressCase{"QuarrelMarker", {265, 31}, Effect::Kind, dice::Quarrel},
        PressCase{"QuarrelCaption", {300, 20}, Effect::Nothing},
        PressCase{"RollButton", {176, 140}, Effect::Roll},
        PressCase{"RollButtonCorner", {128, 120}, Effect::Roll},
        PressCase{"OneDieSlot", {100, 60}, Effect::Nothing},
        PressCase{"ResultSlots", {140, 75}, Effect::Nothing},
        PressCase{"SecondIntimateSlotEnd", {300, 75}, Effect::Nothing},
        PressCase{"Background", {60, 200}, Effect::Nothing},
        PressCase{"BlogLink", {20, 265}, Effect::Blog},
        PressCase{"ForumLink", {200, 260}, Effect::Forum},
        PressCase{"ForumLinkOverTheBlogLink", {140, 265}, Effect::Forum},
        PressCase{"ForumLinkOverTheLogo", {270, 260}, Effect::Forum},
        PressCase{"ForumLinkOverTheHint", {200, 285}, Effect::Forum},
        PressCase{"Logo", {320, 265}, Effect::Nothing},
        PressCase{"Hint", {50, 290}, Effect::Nothing},
        PressCase{"HintOverTheLogo", {300, 280}, Effect::Nothing}),
    [](const testing::TestParamInfo<PressCase>& info) { return info.param.what; });

// ---- Double clicks ----

TEST_F(MainWindowTest, DoubleClickOnTheRollButtonRollsOnce) {
  for (int kind : {dice::Chores, dice::Intimate}) {
    ui::SelectKind(*w_, kind);
    const int drawsPerRoll = kind == dice::Intimate ? 2 : 1;
    std::srand(4242);
    for (int i = 0; i < drawsPerRoll; ++i) std::rand();
    const int next = std::rand();
    std::srand(4242);
    testutil::DoubleClick(*w_, kRollButton);
    EXPECT_EQ(std::rand(), next) << "kind " << kind << ": the generator moved on more than one roll";
    EXPECT_EQ((*this)["透明按钮"].FontSize(), 14);
  }
}

TEST_F(MainWindowTest, DoubleClickOnAMarkerOrALink) {
  testutil::DoubleClick(*w_, {258, 20});
  EXPECT_EQ(dice::diceKind, dice::Quarrel);
  EXPECT_EQ(Caption("透明分歧吵架道歉骰子"), "■");
  testutil::DoubleClick(*w_, {20, 265});
  testutil::DoubleClick(*w_, {200, 260});
  EXPECT_EQ(launches, (std::vector<Launch>{{"xdg-open", {"http://mibbet.example.com"}},
                                           {"xdg-open", {"http://52dozo.example.com"}}}));
}

// ---- The roll button ----

TEST_F(MainWindowTest, RollButtonShrinksOnThePressAndGrowsOnTheRelease) {
  ui::SelectKind(*w_, dice::Outing);
  EXPECT_EQ((*this)["透明按钮"].FontSize(), 18);
  EXPECT_EQ(QGuiApplication::primaryScreen()->logicalDotsPerInchY(), 96);
  testutil::Press(*w_, kRollButton);
  EXPECT_EQ((*this)["透明按钮"].FontSize(), 12);
  EXPECT_EQ(PixelSize(*w_, "透明按钮"), PixelsFor(12));
  EXPECT_EQ(PixelSize(*w_, "透明按钮"), 16);
  // The press itself rolled.
  EXPECT_TRUE(Contains(FacesOf("编辑框3"), Caption("透明显示3"))) << Caption("透明显示3");
  testutil::Release(*w_, kRollButton);
  EXPECT_EQ((*this)["透明按钮"].FontSize(), 14);
  EXPECT_EQ(PixelSize(*w_, "透明按钮"), PixelsFor(14));
  EXPECT_EQ(PixelSize(*w_, "透明按钮"), 19);
}

TEST_F(MainWindowTest, ReleaseElsewhereLeavesTheButtonSmall) {
  ui::SelectKind(*w_, dice::Chores);
  testutil::Press(*w_, kRollButton);
  testutil::Release(*w_, {60, 200});
  EXPECT_EQ((*this)["透明按钮"].FontSize(), 12);
  testutil::Press(*w_, {90, 20});  // a marker: the button stays as it is
  testutil::Release(*w_, {90, 20});
  EXPECT_EQ((*this)["透明按钮"].FontSize(), 12);
  // A release over the button, whatever was pressed, grows it.
  testutil::Press(*w_, {60, 200});
  testutil::Release(*w_, kRollButton);
  EXPECT_EQ((*this)["透明按钮"].FontSize(), 14);
}

TEST_F(MainWindowTest, RollWithoutAKindAsksForOneAndStaysSmall) {
  for (const char* r : kResults) (*this)[r].SetText(Gb("旧"));
  std::optional<int> pointsWhileUp;
  const auto boxes = testutil::AnswerBoxes([&] { testutil::Press(*w_, kRollButton); },
                                           [&] {
                                             pointsWhileUp = (*this)["透明按钮"].FontSize();
                                             // The release made while the box is up raises nothing.
                                             testutil::Release(*w_, kRollButton);
                                           });
  ASSERT_EQ(boxes.size(), 1u);
  testutil::ExpectPlainBox(boxes[0], "请选择", "请选择骰子的种类");
  EXPECT_EQ(pointsWhileUp, 12);
  QCoreApplication::processEvents();
  EXPECT_EQ((*this)["透明按钮"].FontSize(), 12);
  EXPECT_EQ(dice::diceKind, dice::None);
  for (const char* r : kResults) EXPECT_EQ(Caption(r), "") << r;
}

TEST_F(MainWindowTest, ResultsStayWhenTheKindChanges) {
  testutil::Click(*w_, {90, 20});
  testutil::Click(*w_, kRollButton);
  const std::string chore = Caption("透明显示3");
  ASSERT_TRUE(Contains(FacesOf("编辑框4"), chore)) << chore;

  testutil::Click(*w_, {160, 20});  // Outing shares the one-die slot
  EXPECT_EQ(dice::diceKind, dice::Outing);
  EXPECT_TRUE((*this)["透明显示3"].Visible());
  EXPECT_EQ(Caption("透明显示3"), chore);

  testutil::Click(*w_, {5, 20});  // Intimate: its slots were emptied by the roll
  EXPECT_TRUE((*this)["透明显示1"].Visible());
  EXPECT_TRUE((*this)["透明显示2"].Visible());
  EXPECT_FALSE((*this)["透明显示3"].Visible());
  EXPECT_EQ(Caption("透明显示1"), "");
  EXPECT_EQ(Caption("透明显示2"), "");

  testutil::Click(*w_, kRollButton);
  EXPECT_TRUE(Contains(FacesOf("编辑框1"), Caption("透明显示1"))) << Caption("透明显示1");
  EXPECT_TRUE(Contains(FacesOf("编辑框2"), Caption("透明显示2"))) << Caption("透明显示2");
  EXPECT_EQ(Caption("透明显示3"), "");
}

// ---- The menu ----

TEST_F(MainWindowTest, AboutBoxBlocksTheMainWindow) {
  const std::string expected = std::string(ui::kAuthorStatement) + "\r\n" + "\r\n" +
                               " 因使用本软件造成一切后果，作者不负任何责任！\r\n" + "\r\n" +
                               "如有问题请联系：" + ui::kAuthorEmail + "，\r\n" + "\r\n" +
                               "或登陆 " + ui::kBlogAddress + "  提交留言  ";
  EXPECT_TRUE(ui::AboutText() == Gb(expected)) << frame::Utf8(ui::AboutText());

  QAction* about = MenuAction("关于");
  ASSERT_NE(about, nullptr);
  const Snapshot before = Take();
  bool handlerReturned = false;
  const auto boxes = testutil::AnswerBoxes(
      [&] {
        about->trigger();
        handlerReturned = true;
      },
      [&] {
        EXPECT_FALSE(handlerReturned);
        testutil::Click(*w_, {90, 20});
        testutil::Click(*w_, kRollButton);
        testutil::Click(*w_, {20, 265});
      });
  ASSERT_EQ(boxes.size(), 1u);
  std::string shown = expected;
  for (std::size_t at; (at = shown.find("\r\n")) != std::string::npos;) shown.replace(at, 2, "\n");
  testutil::ExpectPlainBox(boxes[0], "注意", shown);
  QCoreApplication::processEvents();
  EXPECT_TRUE(Take() == before) << "a click reached the main window while the box was up";
}

TEST_F(MainWindowTest, ExitDestroysTheWindowOnceTheHandlerHasReturned) {
  QAction* exit = MenuAction("退出");
  ASSERT_NE(exit, nullptr);
  exit->trigger();
  EXPECT_EQ(frame::FindWindow(ui::MainWindowDefinition()), w_);
  EXPECT_TRUE(frame::TopLevelOf(*w_)->isVisible());
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(frame::FindWindow(ui::MainWindowDefinition()), nullptr);
}

struct InfoMenuCase {
  const char* item;
  const frame::WindowDef& (*def)();
};

void PrintTo(const InfoMenuCase& c, std::ostream* os) { *os << c.item; }

class InfoMenu : public MainWindowTest, public testing::WithParamInterface<InfoMenuCase> {};

TEST_P(InfoMenu, OpensTheWindowModallyAndWaitsForIt) {
  const InfoMenuCase& c = GetParam();
  QAction* item = MenuAction(c.item);
  ASSERT_NE(item, nullptr);
  const Snapshot before = Take();
  bool handlerReturned = false, checkedInside = false;
  QTimer::singleShot(0, [&] {
    frame::Window* info = frame::FindWindow(c.def());
    ASSERT_NE(info, nullptr);
    checkedInside = !handlerReturned;
    EXPECT_FALSE(frame::TopLevelOf(*w_)->isEnabled());
    // The disabled main window takes no clicks and no menu choices.
    testutil::Click(*w_, {90, 20});
    testutil::Click(*w_, kRollButton);
    testutil::Click(*w_, {200, 260});
    MenuAction("退出")->trigger();
    frame::TopLevelOf(*info)->close();
  });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    ADD_FAILURE() << "the information window was still up after 20 s";
    if (frame::Window* info = frame::FindWindow(c.def())) frame::TopLevelOf(*info)->close();
  });
  watchdog.start(20000);
  item->trigger();
  handlerReturned = true;
  EXPECT_TRUE(checkedInside);
  EXPECT_EQ(frame::FindWindow(c.def()), nullptr);
  EXPECT_TRUE(frame::TopLevelOf(*w_)->isEnabled());
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(frame::FindWindow(ui::MainWindowDefinition()), w_) << "the refused 退出 came through";
  EXPECT_TRUE(Take() == before) << "a click reached the main window while it was disabled";
}

INSTANTIATE_TEST_SUITE_P(Items, InfoMenu,
                         testing::Values(InfoMenuCase{"更新说明", ui::NotesWindowDefinition},
                                         InfoMenuCase{"使用说明", ui::UsageWindowDefinition}),
                         [](const testing::TestParamInfo<InfoMenuCase>& info) {
                           return std::string(info.param.def().name);
                         });

}  // namespace
