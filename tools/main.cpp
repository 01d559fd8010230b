// brondel-tool's entry point: the words of the command line go to RunTool.
#include <iostream>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "tools/tool.h"

int main(int argc, char** argv) {
  const std::vector<std::string> words(argv + 1, argv + argc);
  // "-o -" writes a file's bytes to the standard output.
  brondel::platform::UseBinaryStandardOutput();
  brondel::tool::TConsole console{std::cout, std::cerr};
  return brondel::tool::RunTool(words, console);
}
