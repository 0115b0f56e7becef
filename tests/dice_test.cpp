// The face lists, the split at CR LF, face access and the random draw.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dice/dice.h"
#include "fatal_box.h"

using frame::Gb;

namespace {

std::vector<std::string> Utf8Faces(const dice::FaceList& list) {
  std::vector<std::string> out;
  for (const auto& f : list.Faces()) out.push_back(frame::Utf8(f));
  return out;
}

TEST(SplitFaces, StoredListsGiveTheirFacesInOrder) {
  const std::pair<const char*, int> expected[] = {
      {"编辑框1", 9}, {"编辑框2", 9}, {"编辑框4", 10}, {"编辑框3", 10}, {"编辑框5", 7}};
  for (const auto& [box, count] : expected) {
    const dice::FaceList list = dice::SplitFaces(dice::StoredListText(box));
    EXPECT_EQ(list.Count(), count) << box;
    std::vector<std::string> stored;
    for (const dice::StoredList& l : dice::StoredLists())
      if (l.control == box) stored.assign(l.faces.begin(), l.faces.end());
    EXPECT_EQ(Utf8Faces(list), stored) << box;
  }
}

TEST(SplitFaces, StoredListTextIsCodePage936JoinedByCrLf) {
  EXPECT_EQ(dice::StoredListText("编辑框5"),
            Gb("听男方的\r\n听女方的\r\n再来一次\r\n男方道歉\r\n女方道歉\r\n"
               "男方给女方买礼物并道歉\r\n女方给男方买礼物并道歉"));
  // "舔" is CC F2 in code page 936.
  EXPECT_EQ(dice::StoredListText("编辑框1").substr(0, 4), std::string("\xCC\xF2\r\n", 4));
  EXPECT_EQ(dice::StoredListText("no such box"), "");
}

// Splits given as raw code-page-936 bytes, so the two-byte rule is visible.
struct SplitCase {
  const char* what;
  std::string text;
  std::vector<std::string> faces;
};
void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.what; }

class SplitBytes : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitBytes, GivesTheseFaces) {
  const SplitCase& c = GetParam();
  const dice::FaceList list = dice::SplitFaces(c.text);
  EXPECT_EQ(list.Faces(), c.faces);
  EXPECT_EQ(list.Count(), static_cast<std::int32_t>(c.faces.size()));
}

const std::string kTian = "\xCC\xF2";     // 舔
const std::string kYao = "\xD2\xA7";      // 咬
const std::string kLead = "\xB0";         // a lead byte with no trail byte

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitBytes,
    ::testing::Values(
        SplitCase{"empty text", "", {}},
        SplitCase{"one byte", "a", {"a"}},
        SplitCase{"no separator", "ab" + kTian, {"ab" + kTian}},
        SplitCase{"two faces", kTian + "\r\n" + kYao, {kTian, kYao}},
        SplitCase{"trailing CR LF gives no empty last face", kTian + "\r\n", {kTian}},
        SplitCase{"two trailing CR LF give one empty face", "a\r\n\r\n", {"a", ""}},
        SplitCase{"CR LF twice gives an empty face between", "a\r\n\r\nb", {"a", "", "b"}},
        SplitCase{"leading CR LF gives an empty first face", "\r\na", {"", "a"}},
        SplitCase{"CR LF alone is one empty face", "\r\n", {""}},
        SplitCase{"a lone CR or LF does not split", "a\rb\nc", {"a\rb\nc"}},
        SplitCase{"LF CR does not split", "a\n\rb", {"a\n\rb"}},
        // The byte after a lead byte is its trail, even a CR: the CR LF that
        // follows a lead byte directly is not a separator.
        SplitCase{"CR as a trail byte", kLead + "\r\nx", {kLead + "\r\nx"}},
        SplitCase{"separator found after a CR eaten as a trail byte",
                  kLead + "\r\n\r\nx", {kLead + "\r\n", "x"}},
        SplitCase{"odd offset after one single-byte character",
                  "a" + kTian + "\r\n" + kYao, {"a" + kTian, kYao}},
        SplitCase{"text ending after a lead byte keeps it in the last face",
                  "ab\r\n" + kLead, {"ab", kLead}},
        SplitCase{"lead byte right before the end with CR LF before it",
                  kTian + "\r\na" + kLead, {kTian, "a" + kLead}},
        SplitCase{"lone CR at the end", "a\r\nb\r", {"a", "b\r"}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) {
      std::string name;
      for (char ch : std::string(info.param.what)) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
      return name;
    });

TEST(FaceList, FacesAreNumberedFromOne) {
  const dice::FaceList list = dice::SplitFaces(Gb("甲\r\n乙\r\n丙"));
  EXPECT_EQ(frame::Utf8(list.Face(1)), "甲");
  EXPECT_EQ(frame::Utf8(list.Face(2)), "乙");
  EXPECT_EQ(frame::Utf8(list.Face(3)), "丙");
}

struct BadNumber {
  std::int32_t number;
  int code;
  const char* message;
};

TEST(FaceListDeathTest, NumberOutsideTheListIsFatal) {
  const dice::FaceList list = dice::SplitFaces(Gb("甲\r\n乙\r\n丙"));
  const dice::FaceList empty;
  const BadNumber cases[] = {
      {0, 4, "数组成员引用下标必须大于等于1"},
      {-1, 4, "数组成员引用下标必须大于等于1"},
      {INT32_MIN, 4, "数组成员引用下标必须大于等于1"},
      {4, 1, "数组成员引用下标超出定义范围"},
      {INT32_MAX, 1, "数组成员引用下标超出定义范围"},
  };
  for (const BadNumber& c : cases) {
    EXPECT_EXIT(testutil::AnswerFatalBox([&] { list.Face(c.number); }),
                ::testing::ExitedWithCode(255), testutil::FatalBoxPattern(c.message, c.code))
        << c.number;
  }
  // An empty list has no face 1.
  EXPECT_EXIT(testutil::AnswerFatalBox([&] { empty.Face(1); }), ::testing::ExitedWithCode(255),
              testutil::FatalBoxPattern("数组成员引用下标超出定义范围", 1));
}

// ---- The draw ----

// What DrawNumber(lower, upper) must give for the generator's next value r:
// lowest + r mod span, or `lowest` without drawing when span is 0.
struct DrawCase {
  std::int32_t lower, upper;
  std::int64_t lowest;
  std::int64_t span;  // 0: nothing is drawn
};
void PrintTo(const DrawCase& c, std::ostream* os) { *os << "DrawNumber(" << c.lower << ", " << c.upper << ")"; }

class Draw : public ::testing::TestWithParam<DrawCase> {};

TEST_P(Draw, TakesTheNextGeneratorValueIntoRange) {
  const DrawCase& c = GetParam();
  for (unsigned seed : {1u, 7u, 12345u, 4000000000u}) {
    std::srand(seed);
    const std::int64_t r = std::rand();
    const std::int64_t next = std::rand();
    std::srand(seed);
    const std::int32_t got = dice::DrawNumber(c.lower, c.upper);
    if (c.span == 0) {
      EXPECT_EQ(got, c.lowest);
      EXPECT_EQ(std::rand(), r) << "equal bounds must not draw";
    } else {
      EXPECT_EQ(got, c.lowest + r % c.span) << "seed " << seed;
      EXPECT_EQ(std::rand(), next) << "exactly one value drawn";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Draw,
    ::testing::Values(DrawCase{1, 9, 1, 9}, DrawCase{1, 10, 1, 10}, DrawCase{1, 7, 1, 7},
                      DrawCase{9, 1, 1, 9},       // swapped bounds
                      DrawCase{-5, 3, 0, 4},      // a bound below 0 counts as 0
                      DrawCase{3, -5, 0, 4},
                      DrawCase{1, 0, 0, 2},       // the draw an emptied list makes
                      DrawCase{0, 1, 0, 2},
                      DrawCase{5, 5, 5, 0},       // equal bounds
                      DrawCase{-3, -7, 0, 0},     // both count as 0
                      DrawCase{0, INT32_MAX, 0, 2147483647},  // span capped at 2^31 - 1
                      DrawCase{INT32_MAX, 1, 1, 2147483647},
                      DrawCase{INT32_MAX - 1, INT32_MAX, INT32_MAX - 1, 2}));

TEST(Draw, EveryFaceOfASmallListComesUp) {
  std::srand(99);
  std::vector<int> seen(8, 0);
  for (int k = 0; k < 2000; ++k) {
    const std::int32_t n = dice::DrawNumber(1, 7);
    ASSERT_GE(n, 1);
    ASSERT_LE(n, 7);
    ++seen[static_cast<std::size_t>(n)];
  }
  for (int face = 1; face <= 7; ++face) EXPECT_GT(seen[static_cast<std::size_t>(face)], 0) << face;
}

TEST(SeedGenerator, SeedsTheGeneratorWithTheSeedItReturns) {
  const std::uint32_t seed = dice::SeedGenerator();
  const int first = std::rand();
  const int second = std::rand();
  std::srand(seed);
  EXPECT_EQ(std::rand(), first);
  EXPECT_EQ(std::rand(), second);
}

TEST(SeedGenerator, IsTheTickCountPlusACounterThatMovesOnEachSeeding) {
  // s = tick + counter, then counter += (s & 0xFF) + 100. So between two
  // seedings the seed moves by the ticks that passed plus that step, and two
  // seedings within one tick always differ.
  for (int round = 0; round < 50; ++round) {
    const std::uint32_t before = frame::TickCount();
    const std::uint32_t s1 = dice::SeedGenerator();
    const std::uint32_t s2 = dice::SeedGenerator();
    const std::uint32_t after = frame::TickCount();
    const std::uint32_t ticksBetween = s2 - s1 - ((s1 & 0xFFu) + 100u);
    EXPECT_LE(ticksBetween, after - before) << "round " << round;
    EXPECT_NE(s1, s2);
  }
}

double UptimeSeconds() {
  double seconds = -1;
  if (std::FILE* f = std::fopen("/proc/uptime", "r")) {
    if (std::fscanf(f, "%lf", &seconds) != 1) seconds = -1;
    std::fclose(f);
  }
  return seconds;
}

TEST(TickCount, IsMillisecondsSinceStartUpIn32Bits) {
  const double before = UptimeSeconds();
  const std::uint32_t ticks = frame::TickCount();
  const double after = UptimeSeconds();
  ASSERT_GE(before, 0);
  // /proc/uptime has hundredths of a second; the count wraps at 2^32 ms.
  const auto wrap = [](double seconds) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(seconds * 1000.0) & 0xFFFFFFFFu);
  };
  const std::uint32_t low = wrap(before) - 20u;
  EXPECT_LE(ticks - low, wrap(after) + 20u - low) << ticks;
}

}  // namespace
