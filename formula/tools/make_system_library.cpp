// Builds the system library file from its readable source:
//
//   make_system_library <source.txt> <KvIndexS.dat>
//
// Every formula of the source must compile; the first fault stops the build
// with the line it is on, and the output is then left as it was.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "formula/kvindexlib.h"
#include "formula/libsource.h"

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <source.txt> <library.dat>\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();

  CKvIndexManager library;
  std::string error;
  if (!ReadIndexLibrarySource(text.str(), library, &error)) {
    std::fprintf(stderr, "%s:%s\n", argv[1], error.c_str());
    return 1;
  }
  // The plain form is staged beside the output, never in the current folder.
  const std::string output = argv[2];
  const std::string staging = output + ".plain";
  library.SetFiles(output.c_str(), output.c_str(), "", staging.c_str());
  if (!library.SaveLibraryFile(true, output.c_str())) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
    return 1;
  }
  uint32_t count = 0;
  while (library.GetIndexAt(count)) ++count;
  std::printf("%s: %u formulas\n", output.c_str(), count);
  return 0;
}
