// A fatal error with several windows up, or before the first is shown: the
// box comes first, then every window of the program goes, and the process
// ends with status -1 (255) however deep in modal waits it was raised.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "fatal_box.h"
#include "test_util.h"
#include "ui/info/info_windows.h"
#include "ui/main/main_window.h"

namespace {

using frame::Gb;

bool FatalBoxUp() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w);
        box != nullptr && box->isVisible() && box->windowTitle() == QStringLiteral("错误"))
      return true;
  return false;
}

// Reports on stderr, as each window of the program goes, how many have gone,
// whether the fatal-error box was still up and how many other windows of the
// program were still shown.
void ReportWhenGone(frame::Window& w) {
  frame::TopLevel* top = frame::TopLevelOf(w);
  QObject::connect(top, &QObject::destroyed, [top] {
    static int gone = 0;
    int othersShown = 0;
    for (QWidget* other : QApplication::topLevelWidgets())
      if (other != top && dynamic_cast<frame::TopLevel*>(other) != nullptr && other->isVisible())
        ++othersShown;
    std::fprintf(stderr, "\n[gone #%d, box up: %s, others shown: %d]\n", ++gone,
                 FatalBoxUp() ? "yes" : "no", othersShown);
    std::fflush(stderr);
  });
}

using testutil::MenuAction;

// A window whose Created handler asks for a control it does not have.
const frame::WindowDef& FailsWhileCreated() {
  static const frame::WindowDef def{
      .name = "FailsWhileCreated",
      .title = Gb("出错"),
      .width = 200,
      .height = 150,
      .handlers = {{"", frame::Event::Created,
                    [](frame::Window& w, const frame::EventArgs&) {
                      ReportWhenGone(w);
                      w["没有"].SetText(Gb("x"));
                    }}},
  };
  return def;
}

TEST(FatalExitDeathTest, FromAModalInformationWindowEveryWindowGoesAfterTheBox) {
  const std::string message = "窗口 " + ui::NotesWindowDefinition().name + " 中没有控件 没有";
  EXPECT_EXIT(
      {
        ASSERT_TRUE(frame::LoadWindow(ui::MainWindowDefinition(), nullptr, false));
        frame::Window& main = *frame::FindWindow(ui::MainWindowDefinition());
        ReportWhenGone(main);
        QAction* notes = MenuAction(main, "更新说明");
        ASSERT_NE(notes, nullptr);
        QTimer::singleShot(0, [] {
          frame::Window* info = frame::FindWindow(ui::NotesWindowDefinition());
          if (info == nullptr) return;
          ReportWhenGone(*info);
          (*info)["没有"].SetText(Gb("x"));  // inside the modal wait
        });
        testutil::AnswerFatalBox([&] { notes->trigger(); });
        std::fprintf(stderr, "\n[still running]\n");
      },
      ::testing::ExitedWithCode(255),
      testutil::FatalBoxPattern(message, 0) +
          ".*\\[gone #1, box up: no, others shown: [01]\\]"
          ".*\\[gone #2, box up: no, others shown: 0\\]");
}

TEST(FatalExitDeathTest, BeforeTheFirstShowTheWindowGoesAfterTheBox) {
  const std::string message = "窗口 FailsWhileCreated 中没有控件 没有";
  EXPECT_EXIT(
      {
        testutil::AnswerFatalBox([] { frame::LoadWindow(FailsWhileCreated(), nullptr, false); });
        std::fprintf(stderr, "\n[still running]\n");
      },
      ::testing::ExitedWithCode(255),
      testutil::FatalBoxPattern(message, 0) + ".*\\[gone #1, box up: no, others shown: 0\\]");
}

}  // namespace
