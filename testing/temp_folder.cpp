#include "testing/temp_folder.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace testing_support {

void TempFolderTest::SetUp() {
  old_ = fs::current_path();
  char pattern[] = "/tmp/kivo-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  root_ = pattern;
  fs::current_path(root_);
}

void TempFolderTest::TearDown() {
  fs::current_path(old_);
  std::error_code ignored;
  // Tests take write permission away from files and folders; give it back
  // so that everything can be removed.
  for (auto it = fs::recursive_directory_iterator(root_, ignored); it != fs::recursive_directory_iterator();
       it.increment(ignored))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(root_, ignored);
}

void TempFolderTest::Put(const std::string &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string TempFolderTest::Get(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace testing_support
