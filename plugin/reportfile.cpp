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

namespace {

// Gathered lines are written once they reach this size.
constexpr size_t kWriteChunk = 64 * 1024;

}  // namespace

ReportFile::~ReportFile() {
  Flush();
  FileClose(m_file);
}

void ReportFile::Flush() {
  if (m_file > 0 && !m_pending.empty()) FileWrite(m_file, m_pending.data(), 1, int32_t(m_pending.size()));
  m_pending.clear();
}

void ReportFile::Write(const char *text) {
  if (m_file <= 0 || !text) return;
  m_pending += text;
  if (m_pending.size() >= kWriteChunk) Flush();
}

namespace {

std::string Formatted(const char *format, va_list args) {
  va_list again;
  va_copy(again, args);
  char line[1024];
  const int length = vsnprintf(line, sizeof line, format, args);
  std::string text;
  if (length >= 0 && size_t(length) < sizeof line) {
    text.assign(line, size_t(length));
  } else if (length > 0) {
    std::vector<char> longer(size_t(length) + 1);
    vsnprintf(longer.data(), longer.size(), format, again);
    text.assign(longer.data(), size_t(length));
  }
  va_end(again);
  return text;
}

}  // namespace

void ReportFile::Printf(const char *format, ...) {
  if (m_file <= 0) return;
  va_list args;
  va_start(args, format);
  const std::string text = Formatted(format, args);
  va_end(args);
  Write(text.c_str());
}

ListReport::~ListReport() { delete m_file; }

void ListReport::Begin(const char *text) {
  if (m_file || !m_path) return;
  m_file = new ReportFile(m_path, ReportFile::kTruncate);
  m_file->Write(text);
}

void ListReport::Printf(const char *format, ...) {
  Begin(m_head);
  if (!m_file || !m_file->Open()) return;
  va_list args;
  va_start(args, format);
  const std::string text = Formatted(format, args);
  va_end(args);
  m_file->Write(text.c_str());
}

void ListReport::Finish() {
  Begin(m_empty);
  delete m_file;
  m_file = nullptr;
  m_path = nullptr;
}

}  // namespace tb
