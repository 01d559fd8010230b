// make_examples FOLDER: writes our example rhythms into FOLDER (the checked-in copies live in
// examples/ of the source tree).
#include <iostream>

#include "examples/generator/example_rhythms.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_examples FOLDER\n";
    return 2;
  }
  const std::string failure = brondel::examples::WriteExampleRhythms(argv[1]);
  if (!failure.empty()) {
    std::cerr << "make_examples: " << failure << "\n";
    return 1;
  }
  return 0;
}
