// One QApplication on the offscreen platform for every test of a program.
#include <QApplication>

#include <gtest/gtest.h>

#include "app/frame_internal.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  frame::InitialiseToolkit();
  const int status = RUN_ALL_TESTS();
  frame::ShutDown();
  return status;
}
