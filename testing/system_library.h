// Where the build keeps the system formula library and its readable source,
// for the tests and benchmarks that read them.
#pragma once

#include <string>

namespace testing_support {

// The library file the build made (<build>/cfg/KvIndexS.dat), absolute.
std::string BuiltSystemLibrary();
// The source it was made from, in the repository.
std::string SystemLibrarySource();
// A whole file's bytes; "" when it can't be read.
std::string ReadWholeFile(const std::string &path);

}  // namespace testing_support
