// Writes the fuzz seed corpus into the directory given: each stored face list
// as its box holds it (code page 936, faces joined by CR LF), the same with a
// final CR LF, and the information texts named on the command line.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "dice/dice.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: fuzz_seeds DIR [TEXT...]\n");
    return 2;
  }
  const std::string dir = argv[1];
  int n = 0;
  auto write = [&](const std::string& bytes) {
    std::ofstream(dir + "/seed-" + std::to_string(++n), std::ios::binary) << bytes;
  };
  for (const dice::StoredList& list : dice::StoredLists()) {
    const std::string text = dice::StoredListText(list.control);
    write(text);
    write(text + "\r\n");
  }
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "fuzz_seeds: cannot read %s\n", argv[i]);
      return 1;
    }
    write(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  }
  std::printf("%d seeds in %s\n", n, dir.c_str());
  return 0;
}
