// The main window's background: the stored 1024 x 768 JPEG decoded with
// libjpeg's scaled decoding at the smallest scale that still covers the
// client area (371 x 303, so 4/8: 512 x 384), then smoothed down to the
// client size; against the same picture decoded at full size and smoothed
// down the same way. Both go through frame::LoadPicture, which the client
// area uses. Median of 51 runs each, alternating. Runs offscreen.
#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/widgets.h"

namespace {

constexpr int kRuns = 51;
const QSize kClient(371, 303);

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// One decode and scale; returns milliseconds, or a negative figure when the
// picture could not be read.
double Once(QSize cover, QSize* decoded) {
  const auto t0 = std::chrono::steady_clock::now();
  const QImage image = frame::LoadPicture(":/pictures/background.jpg", cover);
  if (image.isNull()) return -1;
  const QImage scaled = image.scaled(kClient, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  if (scaled.size() != kClient) return -1;
  *decoded = image.size();
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);  // nothing is shown
  std::vector<double> scaledRuns, fullRuns;
  QSize scaledSize, fullSize;
  for (int i = 0; i < kRuns + 1; ++i) {
    const double s = Once(kClient, &scaledSize);
    const double f = Once(QSize(), &fullSize);
    if (s < 0 || f < 0) {
      std::fprintf(stderr, "the background picture could not be decoded\n");
      return 1;
    }
    if (i == 0) continue;  // the first pair warms the caches up
    scaledRuns.push_back(s);
    fullRuns.push_back(f);
  }
  const double s = Median(scaledRuns), f = Median(fullRuns);
  std::printf("background decode + smoothing scale to %dx%d, median of %d runs\n", kClient.width(),
              kClient.height(), kRuns);
  std::printf("  scaled decode (%dx%d): %.3f ms\n", scaledSize.width(), scaledSize.height(), s);
  std::printf("  full decode   (%dx%d): %.3f ms\n", fullSize.width(), fullSize.height(), f);
  std::printf("\nbackground_scaled_ms=%.3f background_full_ms=%.3f ratio=%.2f\n", s, f, s / f);
  return 0;
}
