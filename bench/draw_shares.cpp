// How evenly the draw spreads over each stored face list: one million draws
// of DrawNumber(1, n) per list from a fixed seed, reporting the lowest and
// the highest share any face got beside the fair share 100 / n.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dice/dice.h"

namespace {

constexpr unsigned kSeed = 20240601;
constexpr int kDraws = 1000000;

}  // namespace

int main() {
  std::srand(kSeed);
  std::printf("draws per list: %d, seed: %u, RAND_MAX: %d\n\n", kDraws, kSeed, RAND_MAX);
  std::printf("%-7s %5s %9s   %-16s   %-16s  %s\n", "box", "faces", "fair %", "lowest % (face)",
              "highest % (face)", "highest - lowest");
  for (const dice::StoredList& list : dice::StoredLists()) {
    const int n = static_cast<int>(list.faces.size());
    std::vector<std::int64_t> hits(static_cast<std::size_t>(n) + 1, 0);
    int outside = 0;
    for (int k = 0; k < kDraws; ++k) {
      const std::int32_t face = dice::DrawNumber(1, n);
      if (face < 1 || face > n) ++outside;
      else ++hits[static_cast<std::size_t>(face)];
    }
    const auto first = hits.begin() + 1;
    const auto low = std::min_element(first, hits.end());
    const auto high = std::max_element(first, hits.end());
    const double lowShare = 100.0 * static_cast<double>(*low) / kDraws;
    const double highShare = 100.0 * static_cast<double>(*high) / kDraws;
    // The box names are UTF-8; pad by hand since printf counts bytes.
    std::printf("%s %5d %9.4f   %9.4f (%2d)      %9.4f (%2d)      %8.4f\n", std::string(list.control).c_str(), n,
                100.0 / n, lowShare, static_cast<int>(low - hits.begin()), highShare,
                static_cast<int>(high - hits.begin()), highShare - lowShare);
    if (outside != 0) std::printf("  %d draws fell outside 1..%d\n", outside, n);
  }
  return 0;
}
