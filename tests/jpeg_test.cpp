// Decoding the stored pictures, and what a window shows when a picture's
// data is damaged.
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/jpeg.h"
#include "test_util.h"

namespace {

std::string Stored(const char* path) { return frame::ReadResource(path); }

std::optional<frame::Picture> Decode(const std::string& bytes, int coverW = 0, int coverH = 0) {
  return frame::DecodeJpeg(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), coverW,
                           coverH);
}

TEST(DecodeJpeg, StoredPicturesDecodeAtFullSize) {
  const struct {
    const char* path;
    int width, height;
  } cases[] = {{":/pictures/background.jpg", 1024, 768}, {":/pictures/logo.jpg", 160, 66}};
  for (const auto& c : cases) {
    const auto picture = Decode(Stored(c.path));
    ASSERT_TRUE(picture) << c.path;
    EXPECT_EQ(picture->width, c.width) << c.path;
    EXPECT_EQ(picture->height, c.height) << c.path;
    EXPECT_EQ(picture->pixels.size(), std::size_t(c.width) * c.height * 4) << c.path;
  }
}

TEST(DecodeJpeg, ScaledDecodingPicksTheSmallestScaleThatCovers) {
  const std::string bytes = Stored(":/pictures/background.jpg");
  const struct {
    int coverW, coverH, width, height;
  } cases[] = {
      {371, 303, 512, 384},   // 3/8 would be 384x288: too low
      {371, 288, 384, 288},   // exactly 3/8
      {100, 50, 128, 96},     // 1/8
      {1024, 768, 1024, 768}, // nothing smaller covers
      {2000, 2000, 1024, 768} // larger than the picture: full size
  };
  for (const auto& c : cases) {
    const auto picture = Decode(bytes, c.coverW, c.coverH);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, c.width) << c.coverW << "x" << c.coverH;
    EXPECT_EQ(picture->height, c.height) << c.coverW << "x" << c.coverH;
  }
}

TEST(DecodeJpeg, DamagedDataGivesNoPictureAndKeepsTheProcess) {
  const std::string good = Stored(":/pictures/logo.jpg");
  std::string flipped = good;
  for (std::size_t i = 2; i < 40 && i < flipped.size(); i += 3) flipped[i] = static_cast<char>(~flipped[i]);
  std::string badHuffman = good;
  for (std::size_t i = good.size() / 2; i < good.size() - 2; ++i) badHuffman[i] = '\xFF';
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"not a JPEG", "this is not a picture at all"},
      {"header only", good.substr(0, 20)},
      {"cut in half", good.substr(0, good.size() / 2)},
      {"last bytes missing", good.substr(0, good.size() - 2)},
      {"header scrambled", flipped},
      {"entropy data overwritten", badHuffman},
  };
  for (const auto& [name, bytes] : cases) EXPECT_FALSE(Decode(bytes, 96, 36)) << name;
}

// A window whose background cannot be decoded shows the face colour there.
TEST(DamagedPicture, WindowDrawsItsFaceColour) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string good = Stored(":/pictures/background.jpg");
  const std::string path = dir.filePath("cut.jpg").toStdString();
  {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(good.data(), static_cast<qint64>(good.size() / 3));
  }
  static frame::WindowDef def;
  def = frame::WindowDef{.name = "Damaged", .width = 206, .height = 129, .background = path};
  def.controls = {frame::ControlDef{.name = "logo",
                                    .kind = frame::ControlKind::PictureBox,
                                    .left = 10,
                                    .top = 10,
                                    .width = 96,
                                    .height = 36,
                                    .picture = path}};
  ASSERT_TRUE(frame::LoadWindow(def, nullptr, false));
  frame::Window* w = frame::FindWindow(def);
  ASSERT_NE(w, nullptr);
  const QImage shot = testutil::Client(*w)->grab().toImage();
  const QColor face = testutil::Client(*w)->palette().color(QPalette::Button);
  for (QPoint p : {QPoint(1, 1), QPoint(50, 25), QPoint(150, 80), QPoint(199, 99)})
    EXPECT_EQ(shot.pixelColor(p), face) << p.x() << "," << p.y();
  frame::RequestDestroy(*w);
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(frame::FindWindow(def), nullptr);
}

}  // namespace
