// Helpers of the account report tests: the report's data files copied into
// the program folder, golden files beside the tests, and the report's
// arrays dumped as JSON.
#pragma once

#include <string>

class TAccountReport;

namespace report_test {

// Copies "style.css" and "images\Sample.bmp" into the current folder.
void InstallReportFiles();
// The golden file tests/trading/reportdata/<name> (UTF-8).
std::string Golden(const std::string &name);
// Compares a GBK text with a golden file; on a difference the text is
// written beside the test binaries as <name>.actual for a person to look at.
void ExpectGolden(const std::string &gbk, const std::string &name);
// The fifteen arrays, the name and the id as JSON (GBK texts as UTF-8), one
// array a line.
std::string DumpJson(const TAccountReport &report);
// Writes a GBK text file (the text is given as the program's literals are).
void WriteFile(const std::string &path, const std::string &text);
std::string ReadFile(const std::string &path);

}  // namespace report_test
