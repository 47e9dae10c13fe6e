// Where the build keeps the system formula library and its readable source,
// for the tests and benchmarks that read them.
#pragma once

#include <cstdint>
#include <string>

class CKvIndexManager;

namespace testing_support {

// The library file the build made (<build>/cfg/KvIndexS.dat), absolute.
std::string BuiltSystemLibrary();
// The source it was made from, in the repository.
std::string SystemLibrarySource();
// A whole file's bytes; "" when it can't be read.
std::string ReadWholeFile(const std::string &path);
// A library of `count` formulas, each a compiled copy of a shipped one (in
// turn) under its own name "F000", "F001" ..., in groups of 25 ("G00",
// "G01" ...). False, with the reason, when the source can't be read.
bool BuildCopiesOfShippedFormulas(CKvIndexManager &out, uint32_t count, std::string *error);

}  // namespace testing_support
