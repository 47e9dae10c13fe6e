#include "plugin/reportfile.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/efile.h"

namespace tb {

ReportFile::ReportFile(const char *path, Mode mode) : m_file(FileOpen(path, mode == kAppend ? "ab" : "wb")) {
  if (m_file > 0 && mode == kTruncate) FileTruncate(m_file, 0);
}

ReportFile::~ReportFile() { FileClose(m_file); }

void ReportFile::Write(const char *text) {
  if (m_file > 0 && text && *text) FileWrite(m_file, text, 1, int32_t(strlen(text)));
}

namespace {

void WriteFormatted(int32_t file, const char *format, va_list args) {
  if (file <= 0) return;
  va_list again;
  va_copy(again, args);
  char line[1024];
  const int length = vsnprintf(line, sizeof line, format, args);
  if (length >= 0 && size_t(length) < sizeof line) {
    FileWrite(file, line, 1, length);
  } else if (length > 0) {
    std::vector<char> longer(size_t(length) + 1);
    vsnprintf(longer.data(), longer.size(), format, again);
    FileWrite(file, longer.data(), 1, length);
  }
  va_end(again);
}

}  // namespace

void ReportFile::Printf(const char *format, ...) {
  va_list args;
  va_start(args, format);
  WriteFormatted(m_file, format, args);
  va_end(args);
}

ListReport::~ListReport() { delete m_file; }

void ListReport::Begin(const char *text) {
  if (m_file || !m_path) return;
  m_file = new ReportFile(m_path, ReportFile::kTruncate);
  m_file->Write(text);
}

void ListReport::Printf(const char *format, ...) {
  Begin(m_head);
  va_list args;
  va_start(args, format);
  if (m_file && m_file->Open()) {
    char line[1024];
    vsnprintf(line, sizeof line, format, args);
    m_file->Write(line);
  }
  va_end(args);
}

void ListReport::Finish() {
  Begin(m_empty);
  delete m_file;
  m_file = nullptr;
  m_path = nullptr;
}

}  // namespace tb
