// The roll: which boxes it reads, which draws it makes, what it shows, and
// what an emptied face-list box does.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "dice/dice.h"
#include "fatal_box.h"
#include "test_util.h"
#include "ui/main/main_window.h"

using frame::Gb;
using frame::GbText;

namespace {

// A stand-in for the main window that records, in order, every read of a
// control's text and every caption set.
class RecordingWindow final : public frame::Window {
 public:
  class Box final : public frame::Control {
   public:
    Box(RecordingWindow& owner, std::string name) : owner_(owner), name_(std::move(name)) {}
    GbText Text() const override {
      owner_.log.push_back("read " + name_);
      return text;
    }
    void SetText(const GbText& t) override {
      owner_.log.push_back("set " + name_ + "=" + frame::Utf8(t));
      text = t;
    }
    bool Visible() const override { return true; }
    void SetVisible(bool) override { owner_.log.push_back("visibility " + name_); }
    int Width() const override { return 0; }
    void SetWidth(int) override {}
    int Height() const override { return 0; }
    void SetHeight(int) override {}
    int FontSize() const override { return 0; }
    void SetFontSize(int) override {}
    GbText text;

   private:
    RecordingWindow& owner_;
    std::string name_;
  };

  RecordingWindow() {
    for (const char* name : {"透明显示1", "透明显示2", "透明显示3"}) Add(name, Gb("旧结果"));
    for (const dice::StoredList& list : dice::StoredLists())
      Add(std::string(list.control), dice::StoredListText(list.control));
  }
  const frame::WindowDef& Definition() const override { return def_; }
  frame::Control& operator[](std::string_view name) override {
    auto it = boxes_.find(std::string(name));
    if (it == boxes_.end()) {
      ADD_FAILURE() << "no control " << name;
      it = boxes_.find("透明显示1");
    }
    return *it->second;
  }
  int Width() const override { return 0; }
  int Height() const override { return 0; }

  Box& At(const std::string& name) { return *boxes_.at(name); }
  std::vector<std::string> log;

 private:
  void Add(const std::string& name, GbText text) {
    boxes_[name] = std::make_unique<Box>(*this, name);
    boxes_[name]->text = std::move(text);
  }
  frame::WindowDef def_;
  std::map<std::string, std::unique_ptr<Box>> boxes_;
};

std::vector<std::string> StoredFaces(std::string_view box) {
  for (const dice::StoredList& l : dice::StoredLists())
    if (l.control == box) return {l.faces.begin(), l.faces.end()};
  return {};
}

// The first generator values after srand(seed).
std::vector<int> ValuesAfter(unsigned seed, int n) {
  std::srand(seed);
  std::vector<int> values;
  for (int k = 0; k < n; ++k) values.push_back(std::rand());
  return values;
}

const std::vector<std::string> kClears = {"set 透明显示1=", "set 透明显示2=", "set 透明显示3="};

std::vector<std::string> Then(std::vector<std::string> first, const std::vector<std::string>& more) {
  first.insert(first.end(), more.begin(), more.end());
  return first;
}

class Roll : public ::testing::Test {
 protected:
  void TearDown() override { dice::diceKind = dice::None; }
};

TEST_F(Roll, WithoutAKindEmptiesTheResultsAndAsksForOne) {
  RecordingWindow w;
  dice::diceKind = dice::None;
  const int before = ValuesAfter(5, 1)[0];
  std::srand(5);
  const auto boxes = testutil::AnswerBoxes([&] { dice::RollDice(w); });
  ASSERT_EQ(boxes.size(), 1u);
  testutil::ExpectPlainBox(boxes[0], "请选择", "请选择骰子的种类");
  EXPECT_EQ(w.log, kClears) << "no list is read";
  EXPECT_EQ(std::rand(), before) << "nothing is drawn";
}

struct OneDie {
  dice::DiceKind kind;
  const char* box;
};
void PrintTo(const OneDie& c, std::ostream* os) { *os << "kind " << c.kind << " from " << c.box; }

class RollOneDie : public Roll, public ::testing::WithParamInterface<OneDie> {};

TEST_P(RollOneDie, DrawsAFaceOfItsBoxIntoTheThirdResult) {
  const OneDie& c = GetParam();
  const std::vector<std::string> faces = StoredFaces(c.box);
  ASSERT_FALSE(faces.empty());
  dice::diceKind = c.kind;
  for (unsigned seed : {1u, 2u, 3u, 77u, 31337u}) {
    RecordingWindow w;
    const int r = ValuesAfter(seed, 1)[0];
    std::srand(seed);
    dice::RollDice(w);
    const std::string face = faces[static_cast<std::size_t>(r) % faces.size()];
    EXPECT_EQ(w.log, Then(kClears, {std::string("read ") + c.box, "set 透明显示3=" + face}))
        << "seed " << seed;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, RollOneDie,
                         ::testing::Values(OneDie{dice::Chores, "编辑框4"}, OneDie{dice::Outing, "编辑框3"},
                                           OneDie{dice::Quarrel, "编辑框5"}));

TEST_F(Roll, IntimateReadsBothListsDrawsActionThenPartThenShowsBoth) {
  const std::vector<std::string> actions = StoredFaces("编辑框1");
  const std::vector<std::string> parts = StoredFaces("编辑框2");
  dice::diceKind = dice::Intimate;
  int checked = 0;
  for (unsigned seed = 1; checked < 5; ++seed) {
    const std::vector<int> r = ValuesAfter(seed, 2);
    // Only seeds whose two draws differ show which draw went where.
    if (r[0] % 9 == r[1] % 9) continue;
    ++checked;
    RecordingWindow w;
    std::srand(seed);
    dice::RollDice(w);
    EXPECT_EQ(w.log, Then(kClears, {"read 编辑框1", "read 编辑框2",
                                    "set 透明显示1=" + actions[static_cast<std::size_t>(r[0] % 9)],
                                    "set 透明显示2=" + parts[static_cast<std::size_t>(r[1] % 9)]}))
        << "seed " << seed;
  }
}

TEST_F(Roll, ReadsTheBoxAsItIsNow) {
  RecordingWindow w;
  dice::diceKind = dice::Chores;
  w.At("编辑框4").text = Gb("只此一面");
  const int untouched = ValuesAfter(8, 1)[0];
  std::srand(8);
  dice::RollDice(w);
  EXPECT_EQ(frame::Utf8(w.At("透明显示3").text), "只此一面");
  EXPECT_EQ(std::rand(), untouched) << "a one-face list needs no draw";

  // A trailing CR LF adds no face; an empty line in the middle is a face.
  w.At("编辑框4").text = Gb("甲\r\n\r\n丙\r\n");
  const std::string expected[] = {"甲", "", "丙"};
  for (unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
    const int r = ValuesAfter(seed, 1)[0];
    std::srand(seed);
    dice::RollDice(w);
    EXPECT_EQ(frame::Utf8(w.At("透明显示3").text), expected[r % 3]) << "seed " << seed;
  }
}

// ---- Against the main window ----

class MainWindowRoll : public Roll {
 protected:
  void SetUp() override {
    ASSERT_TRUE(frame::LoadWindow(ui::MainWindowDefinition(), nullptr, false));
    w_ = frame::FindWindow(ui::MainWindowDefinition());
    ASSERT_NE(w_, nullptr);
  }
  void TearDown() override {
    if (frame::Window* w = frame::FindWindow(ui::MainWindowDefinition())) frame::RequestDestroy(*w);
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(frame::FindWindow(ui::MainWindowDefinition()), nullptr);
    Roll::TearDown();
  }
  frame::Window& W() { return *w_; }
  frame::Window* w_ = nullptr;
};

TEST_F(MainWindowRoll, TheRollButtonDrawsFromWhatTheHiddenBoxesHoldNow) {
  ui::SelectKind(W(), dice::Outing);
  W()["编辑框3"].SetText(Gb("甲\r\n乙\r\n丙"));
  EXPECT_EQ(W()["编辑框3"].Text(), Gb("甲\r\n乙\r\n丙"));
  for (unsigned seed : {10u, 11u, 12u, 13u}) {
    const int r = ValuesAfter(seed, 1)[0];
    std::srand(seed);
    testutil::Click(W(), {170, 140});
    EXPECT_EQ(frame::Utf8(W()["透明显示3"].Text()), (std::vector<std::string>{"甲", "乙", "丙"}[r % 3]));
    EXPECT_TRUE(W()["透明显示1"].Text().empty());
    EXPECT_TRUE(W()["透明显示2"].Text().empty());
  }
}

TEST_F(MainWindowRoll, IntimateShowsActionAndPartAndEmptiesTheThirdResult) {
  ui::SelectKind(W(), dice::Chores);
  testutil::Click(W(), {170, 140});
  ASSERT_FALSE(W()["透明显示3"].Text().empty());
  ui::SelectKind(W(), dice::Intimate);
  const std::vector<int> r = ValuesAfter(21, 2);
  std::srand(21);
  testutil::Click(W(), {170, 140});
  EXPECT_EQ(frame::Utf8(W()["透明显示1"].Text()), StoredFaces("编辑框1")[static_cast<std::size_t>(r[0] % 9)]);
  EXPECT_EQ(frame::Utf8(W()["透明显示2"].Text()), StoredFaces("编辑框2")[static_cast<std::size_t>(r[1] % 9)]);
  EXPECT_TRUE(W()["透明显示3"].Text().empty());
}

// ---- An emptied box ----

// The first seed from 1 up whose `nth` generator value (from 1) has the
// given parity.
unsigned SeedWithParity(int nth, int parity) {
  for (unsigned seed = 1;; ++seed)
    if (ValuesAfter(seed, nth).back() % 2 == parity) return seed;
}

struct Emptied {
  dice::DiceKind kind;
  const char* box;
  int nth;     // which draw of the roll uses the emptied box
  int parity;  // of that draw's generator value
  int code;
  const char* message;
};
void PrintTo(const Emptied& c, std::ostream* os) {
  *os << "kind " << c.kind << ", " << c.box << " empty, draw " << c.nth << (c.parity ? " odd" : " even");
}

constexpr const char* kBelowOne = "数组成员引用下标必须大于等于1";
constexpr const char* kAboveCount = "数组成员引用下标超出定义范围";

class EmptiedBoxDeathTest : public Roll, public ::testing::WithParamInterface<Emptied> {};

// The draw from 1 to 0 becomes a draw from 0 to 1: an even value gives face
// 0, an odd one face 1 of a list that has none.
TEST_P(EmptiedBoxDeathTest, IsFatal) {
  const Emptied& c = GetParam();
  const unsigned seed = SeedWithParity(c.nth, c.parity);
  EXPECT_EXIT(
      {
        RecordingWindow w;
        w.At(c.box).text.clear();
        dice::diceKind = c.kind;
        std::srand(seed);
        testutil::AnswerFatalBox([&] { dice::RollDice(w); });
      },
      ::testing::ExitedWithCode(255), testutil::FatalBoxPattern(c.message, c.code));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EmptiedBoxDeathTest,
    ::testing::Values(Emptied{dice::Chores, "编辑框4", 1, 0, 4, kBelowOne},
                      Emptied{dice::Chores, "编辑框4", 1, 1, 1, kAboveCount},
                      Emptied{dice::Outing, "编辑框3", 1, 0, 4, kBelowOne},
                      Emptied{dice::Quarrel, "编辑框5", 1, 1, 1, kAboveCount},
                      Emptied{dice::Intimate, "编辑框1", 1, 0, 4, kBelowOne},
                      Emptied{dice::Intimate, "编辑框1", 1, 1, 1, kAboveCount},
                      Emptied{dice::Intimate, "编辑框2", 2, 0, 4, kBelowOne},
                      Emptied{dice::Intimate, "编辑框2", 2, 1, 1, kAboveCount}));

using MainWindowRollDeathTest = MainWindowRoll;

// Emptying the box through the window's own control, then pressing the roll
// button: the fatal box comes up over the window and the process ends.
TEST_F(MainWindowRollDeathTest, EmptiedQuarrelBoxEndsTheGame) {
  const unsigned odd = SeedWithParity(1, 1);
  EXPECT_EXIT(
      {
        ui::SelectKind(W(), dice::Quarrel);
        W()["编辑框5"].SetText({});
        std::srand(odd);
        testutil::AnswerFatalBox([&] { testutil::Press(W(), {170, 140}); });
      },
      ::testing::ExitedWithCode(255), testutil::FatalBoxPattern(kAboveCount, 1));
}

}  // namespace
