// Fuzzes the splitting of a face list (dice::SplitFaces) and the conversions
// between UTF-8 and code page 936 (frame::Gb, frame::Utf8) with arbitrary
// bytes. Besides crashes and sanitizer reports it checks:
//  - the faces joined with CR LF give back the text, less one CR LF at its end
//    exactly when the text ends in a CR LF at a character boundary;
//  - no face holds a CR LF that starts at a character boundary;
//  - Utf8 always gives valid UTF-8, and Gb(Utf8(t)) == t whenever Utf8 found
//    nothing to replace;
//  - for valid UTF-8 input u, Utf8(Gb(u)) has as many characters as u, each
//    either the same or '?' (a character code page 936 lacks).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/codepage.h"
#include "dice/dice.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// The offsets at which characters of a code-page-936 text start: a byte of
// 0x80 or above starts a two-byte character.
std::vector<bool> Boundaries(std::string_view t) {
  std::vector<bool> at(t.size() + 1, false);
  for (std::size_t i = 0; i < t.size(); i += static_cast<unsigned char>(t[i]) >= 0x80 ? 2 : 1)
    at[i] = true;
  return at;
}

bool HasCrLfAtBoundary(std::string_view t) {
  const std::vector<bool> at = Boundaries(t);
  for (std::size_t i = 0; i + 1 < t.size(); ++i)
    if (at[i] && t[i] == '\r' && t[i + 1] == '\n') return true;
  return false;
}

bool EndsInCrLfAtBoundary(std::string_view t) {
  if (t.size() < 2 || t.substr(t.size() - 2) != "\r\n") return false;
  return Boundaries(t)[t.size() - 2];
}

// Decodes UTF-8 into code points; false when it is not valid UTF-8
// (overlong forms, surrogates and values past U+10FFFF included).
bool DecodeUtf8(std::string_view s, std::vector<char32_t>* out) {
  out->clear();
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    char32_t cp;
    if (c < 0x80) { n = 1; cp = c; }
    else if (c >= 0xC2 && c < 0xE0) { n = 2; cp = c & 0x1F; }
    else if (c >= 0xE0 && c < 0xF0) { n = 3; cp = c & 0x0F; }
    else if (c >= 0xF0 && c < 0xF5) { n = 4; cp = c & 0x07; }
    else return false;
    if (i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    out->push_back(cp);
    i += n;
  }
  return true;
}

void CheckFaces(std::string_view text) {
  const dice::FaceList list = dice::SplitFaces(text);
  std::string joined;
  for (std::size_t i = 0; i < list.Faces().size(); ++i) {
    const std::string& face = list.Faces()[i];
    if (HasCrLfAtBoundary(face)) Fail("a face holds a CR LF at a character boundary");
    if (i > 0) joined += "\r\n";
    joined += face;
  }
  if (list.Count() != static_cast<std::int32_t>(list.Faces().size())) Fail("count differs from faces");
  if (EndsInCrLfAtBoundary(text)) {
    if (joined + "\r\n" != text) Fail("faces joined do not give the text less its final CR LF");
  } else if (joined != text) {
    Fail("faces joined do not give the text");
  }
}

void CheckCodePage(std::string_view bytes) {
  std::vector<char32_t> a, b;
  // As code page 936.
  const std::string utf8 = frame::Utf8(bytes);
  if (!DecodeUtf8(utf8, &a)) Fail("Utf8 gave invalid UTF-8");
  bool replaced = false;
  for (char32_t cp : a) replaced |= cp == 0xFFFD;
  if (!replaced && frame::Gb(utf8) != bytes) Fail("Gb(Utf8(t)) != t for a valid code-page-936 text");
  // As UTF-8.
  const frame::GbText gb = frame::Gb(bytes);
  const std::string back = frame::Utf8(gb);
  if (!DecodeUtf8(back, &b)) Fail("Utf8(Gb(u)) is not valid UTF-8");
  if (DecodeUtf8(bytes, &a)) {
    if (a.size() != b.size()) Fail("Utf8(Gb(u)) has another number of characters than u");
    for (std::size_t i = 0; i < a.size(); ++i)
      if (a[i] != b[i] && b[i] != U'?') Fail("Utf8(Gb(u)) changed a character into another than '?'");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckFaces(text);
  CheckCodePage(text);
  return 0;
}
