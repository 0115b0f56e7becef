#include "app/jpeg.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace frame {
namespace {

// libjpeg's own error handler ends the process; this one jumps back instead.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  bool damaged = false;
};

[[noreturn]] void OnError(j_common_ptr info) {
  auto* err = reinterpret_cast<ErrorManager*>(info->err);
  std::longjmp(err->jump, 1);
}

// A warning (data cut short, a damaged segment) means the picture is not
// whole: it is noted, and such a picture is not used.
void OnMessage(j_common_ptr info, int level) {
  if (level < 0) reinterpret_cast<ErrorManager*>(info->err)->damaged = true;
}

}  // namespace

std::optional<Picture> DecodeJpeg(const std::uint8_t* data, std::size_t size, int coverWidth,
                                  int coverHeight) {
  if (data == nullptr || size == 0) return std::nullopt;
  jpeg_decompress_struct info{};
  ErrorManager err{};
  info.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnError;
  err.base.emit_message = OnMessage;
  // Everything that must survive a longjmp lives in `result`, declared before it.
  Picture result;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&info);
    return std::nullopt;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  // Straight into the layout the toolkit paints from, so nothing is
  // converted again before scaling.
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  info.out_color_space = JCS_EXT_BGRX;
#else
  info.out_color_space = JCS_EXT_XRGB;
#endif
  info.scale_num = 8;
  info.scale_denom = 8;
  if (coverWidth > 0 && coverHeight > 0) {
    for (unsigned num = 1; num <= 8; ++num) {
      const unsigned long w = (info.image_width * num + 7) / 8;
      const unsigned long h = (info.image_height * num + 7) / 8;
      if (w >= static_cast<unsigned long>(coverWidth) && h >= static_cast<unsigned long>(coverHeight)) {
        info.scale_num = num;
        break;
      }
    }
  }
  jpeg_start_decompress(&info);
  result.width = static_cast<int>(info.output_width);
  result.height = static_cast<int>(info.output_height);
  const std::size_t stride = static_cast<std::size_t>(result.width) * 4;
  result.pixels.resize(stride * static_cast<std::size_t>(result.height));
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = result.pixels.data() + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  if (err.damaged) return std::nullopt;
  return result;
}

}  // namespace frame
