#include "testing/system_library.h"

#include <fstream>
#include <sstream>

namespace testing_support {

std::string BuiltSystemLibrary() { return KIVO_SYSTEM_LIBRARY; }
std::string SystemLibrarySource() { return KIVO_SYSTEM_LIBRARY_SOURCE; }

std::string ReadWholeFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace testing_support
