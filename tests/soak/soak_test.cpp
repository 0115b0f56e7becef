// A long session in one process, offscreen: 10,000 rolls through the roll
// button across all four kinds (the kind changes every 25 rolls), and every
// 50 rolls the two information windows opened from the menu and closed again
// (200 times each, closed alternately by Esc and by a close request). Every
// result must be a face of its list and every window must really go.
//
// The resident memory is printed after the first 100 rolls (by then every
// kind has been rolled and both windows opened once, so the toolkit's caches
// are warm) and at the end; the end may exceed the early figure by 2 MiB at
// most. SOAK_ROLLS overrides the number of rolls (the valgrind run in
// scripts/ci-extra.sh uses a short session); the memory limit only applies
// to full-length runs of a build without AddressSanitizer.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "dice/dice.h"
#include "test_util.h"
#include "ui/info/info_windows.h"
#include "ui/main/main_window.h"

namespace {

constexpr int kFullRolls = 10000;
constexpr int kRollsPerKind = 25;
constexpr int kRollsPerOpening = 50;
constexpr long kAllowedGrowthKiB = 2 * 1024;

// AddressSanitizer holds freed memory back in its quarantine (up to 256 MiB),
// so the resident figure of such a build says nothing about the game.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kResidentMeaningful = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kResidentMeaningful = false;
#else
constexpr bool kResidentMeaningful = true;
#endif
#else
constexpr bool kResidentMeaningful = true;
#endif

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

int Rolls() {
  const char* n = std::getenv("SOAK_ROLLS");
  return n != nullptr ? std::atoi(n) : kFullRolls;
}

struct Kind {
  const char* marker;
  int kind;
  const char* label;   // the result label of a one-die kind
  const char* boxes[2];  // the face lists drawn from
};

const Kind kKinds[] = {
    {"透明情趣骰子", dice::Intimate, nullptr, {"编辑框1", "编辑框2"}},
    {"透明家务骰子", dice::Chores, "透明显示3", {"编辑框4", nullptr}},
    {"透明就餐游玩骰子", dice::Outing, "透明显示3", {"编辑框3", nullptr}},
    {"透明分歧吵架道歉骰子", dice::Quarrel, "透明显示3", {"编辑框5", nullptr}},
};

// The stored faces of a box (the boxes are never edited in this session).
const std::set<frame::GbText>& Faces(const char* box) {
  static std::map<std::string, std::set<frame::GbText>> lists;
  auto& faces = lists[box];
  if (faces.empty()) {
    const dice::FaceList list = dice::SplitFaces(dice::StoredListText(box));
    faces.insert(list.Faces().begin(), list.Faces().end());
  }
  return faces;
}

using testutil::MenuAction;

// Opens an information window from the menu; once it is up it is closed by
// Esc or by a close request. True when it came up and went again.
bool OpenAndClose(QAction* item, const frame::WindowDef& def, bool byEsc) {
  bool seen = false;
  QTimer::singleShot(0, [&] {
    frame::Window* info = frame::FindWindow(def);
    if (info == nullptr) return;
    seen = frame::TopLevelOf(*info)->isVisible();
    if (byEsc) QTest::keyClick(testutil::NativeWindow(*info), Qt::Key_Escape);
    else frame::TopLevelOf(*info)->close();
  });
  QTimer watchdog;  // a window left up would hang the session
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    if (frame::Window* still = frame::FindWindow(def)) frame::TopLevelOf(*still)->close();
  });
  watchdog.start(10000);
  item->trigger();  // returns once the modal window has gone
  QCoreApplication::processEvents();
  return seen && watchdog.isActive() && frame::FindWindow(def) == nullptr;
}

TEST(Soak, RollsAndInformationWindowsKeepMemoryFlat) {
  ASSERT_TRUE(frame::LoadWindow(ui::MainWindowDefinition(), nullptr, false));
  frame::Window& w = *frame::FindWindow(ui::MainWindowDefinition());
  QAction* usage = MenuAction(w, "使用说明");
  QAction* notes = MenuAction(w, "更新说明");
  ASSERT_NE(usage, nullptr);
  ASSERT_NE(notes, nullptr);
  const QPoint roll = frame::ControlWidget(w, "透明按钮")->geometry().center();

  const int rolls = Rolls();
  long early = -1;
  int wrongFaces = 0, failedWindows = 0, openings = 0;
  for (int i = 0; i < rolls; ++i) {
    const Kind& k = kKinds[(i / kRollsPerKind) % 4];
    if (i % kRollsPerKind == 0) {
      testutil::Click(w, frame::ControlWidget(w, k.marker)->geometry().center());
      ASSERT_EQ(dice::diceKind, k.kind) << "roll " << i;
    }
    testutil::Click(w, roll);
    if (k.label != nullptr) {
      if (Faces(k.boxes[0]).count(w[k.label].Text()) == 0) ++wrongFaces;
    } else if (Faces(k.boxes[0]).count(w["透明显示1"].Text()) == 0 ||
               Faces(k.boxes[1]).count(w["透明显示2"].Text()) == 0) {
      ++wrongFaces;
    }
    if (i % kRollsPerOpening == kRollsPerOpening - 1) {
      const bool byEsc = (i / kRollsPerOpening) % 2 == 0;
      failedWindows += !OpenAndClose(usage, ui::UsageWindowDefinition(), byEsc);
      failedWindows += !OpenAndClose(notes, ui::NotesWindowDefinition(), !byEsc);
      openings += 1;
    }
    QCoreApplication::processEvents();
    if (i == 99) {
      early = ResidentKiB();
      std::printf("resident memory after 100 rolls: %ld KiB\n", early);
    }
  }
  const long end = ResidentKiB();
  std::printf("resident memory after %d rolls and %d openings of each information window: %ld KiB "
              "(%+ld KiB)\n",
              rolls, openings, end, early >= 0 ? end - early : 0);
  std::fflush(stdout);

  EXPECT_EQ(wrongFaces, 0);
  EXPECT_EQ(failedWindows, 0);
  EXPECT_NE(frame::FindWindow(ui::MainWindowDefinition()), nullptr);
  if (rolls >= kFullRolls) {
    EXPECT_EQ(openings, kFullRolls / kRollsPerOpening);
    ASSERT_GT(early, 0);
    if (kResidentMeaningful) {
      EXPECT_LE(end - early, kAllowedGrowthKiB) << "the session grew by " << end - early << " KiB";
    }
  }
  frame::TopLevelOf(w)->close();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(frame::FindWindow(ui::MainWindowDefinition()), nullptr);
  dice::diceKind = dice::None;
}

}  // namespace
