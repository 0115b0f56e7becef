#include "app/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace frame {
namespace {

// One conversion through iconv. On a sequence the target cannot take (or the
// source does not form), `onBad` appends a stand-in and the scan moves past
// `skip` bytes of input.
template <typename OnBad>
std::string Convert(const char* to, const char* from, std::string_view in, OnBad onBad) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  std::string out;
  out.reserve(in.size() * 2 + 4);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char buf[256];
  while (srcLeft > 0) {
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buf, dst - buf);
    if (r != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (a sequence cut off at the end): replace and step on.
    size_t skip = onBad(out, std::string_view(src, srcLeft));
    src += skip;
    srcLeft -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

// Length of the UTF-8 sequence starting at s[0], at least 1.
size_t Utf8Length(std::string_view s) {
  unsigned char c = static_cast<unsigned char>(s[0]);
  size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  if (c >= 0x80 && c < 0xC0) n = 1;  // stray continuation byte
  size_t i = 1;
  while (i < n && i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
  return i;
}

}  // namespace

GbText Gb(std::string_view utf8) {
  return Convert("CP936", "UTF-8", utf8, [](std::string& out, std::string_view rest) {
    out.push_back('?');
    return Utf8Length(rest);
  });
}

std::string Utf8(std::string_view gb) {
  return Convert("UTF-8", "CP936", gb, [](std::string& out, std::string_view rest) {
    out.append("\xEF\xBF\xBD");
    // A lead byte takes its trail byte with it unless the trail is plain ASCII,
    // so that a broken pair never swallows a following line break.
    unsigned char lead = static_cast<unsigned char>(rest[0]);
    if (lead >= 0x81 && rest.size() > 1 && static_cast<unsigned char>(rest[1]) >= 0x40 &&
        rest[1] != 0x7F && static_cast<unsigned char>(rest[1]) >= 0x80)
      return size_t{2};
    return size_t{1};
  });
}

}  // namespace frame
