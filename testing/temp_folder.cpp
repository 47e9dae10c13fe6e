#include "testing/temp_folder.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace testing_support {

std::string MakeTempFolder(const std::string &prefix) {
  std::error_code failed;
  fs::path base = fs::temp_directory_path(failed);
  if (failed) base = "/tmp";
  std::string pattern = (base / (prefix + "-XXXXXX")).string();
  if (!mkdtemp(pattern.data())) return std::string();
  return fs::absolute(pattern).string();
}

void TempFolderTest::SetUp() {
  old_ = fs::current_path();
  root_ = MakeTempFolder("kivo-test");
  ASSERT_FALSE(root_.empty());
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
