#include <gtest/gtest.h>

#include "dice/dice.h"
#include "test_util.h"
#include "ui/main/main_window.h"

TEST(Smoke, PressMarkerThenRoll) {
  ASSERT_TRUE(frame::LoadWindow(ui::MainWindowDefinition(), nullptr, false));
  frame::Window* w = frame::FindWindow(ui::MainWindowDefinition());
  ASSERT_NE(w, nullptr);
  testutil::Click(*w, {90, 20});
  EXPECT_EQ(dice::diceKind, dice::Chores);
  testutil::Press(*w, {170, 140});
  EXPECT_EQ((*w)["透明按钮"].FontSize(), 12);
  EXPECT_FALSE((*w)["透明显示3"].Text().empty());
  testutil::Release(*w, {170, 140});
  EXPECT_EQ((*w)["透明按钮"].FontSize(), 14);
  dice::diceKind = 0;
  auto boxes = testutil::AnswerBoxes([&] { testutil::Press(*w, {170, 140}); });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "请选择骰子的种类");
  EXPECT_EQ(boxes[0].title, "请选择");
}
