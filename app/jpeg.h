// Decoding of the stored JPEG pictures with libjpeg.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace frame {

struct Picture {
  int width = 0;
  int height = 0;
  // width * height native 32-bit words 0xffRRGGBB, rows top to bottom
  std::vector<std::uint8_t> pixels;
};

// Decodes a JPEG. With a cover size given, libjpeg's scaled decoding picks the
// smallest scale (n/8) whose output still covers it, so less is decoded for a
// small window. Damaged or truncated data gives no picture, never an exit.
// A picture libjpeg could only partly decode counts as damaged.
std::optional<Picture> DecodeJpeg(const std::uint8_t* data, std::size_t size, int coverWidth = 0,
                                  int coverHeight = 0);

}  // namespace frame
