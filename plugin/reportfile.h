// The text files the plug-in writes for the terminal: GBK with CR LF line
// ends. Lines are gathered and written in large pieces; the file is whole
// once its writer is gone. A file that cannot be opened takes no lines and
// says nothing; its path is posted all the same.
#pragma once

#include <cstdint>
#include <string>

namespace tb {

class ReportFile {
 public:
  enum Mode { kTruncate, kAppend };
  ReportFile(const char *path, Mode mode);
  ~ReportFile();
  ReportFile(const ReportFile &) = delete;
  ReportFile &operator=(const ReportFile &) = delete;

  bool Open() const { return m_file > 0; }
  void Write(const char *text);
  void Printf(const char *format, ...) __attribute__((format(printf, 2, 3)));

 private:
  void Flush();
  int32_t m_file;
  std::string m_pending;
};

// A report of a list answer: its head comes before the first line, or, when
// the answer held no line, the text for an empty list stands alone.
class ListReport {
 public:
  ListReport(const char *path, const char *head, const char *empty) : m_path(path), m_head(head), m_empty(empty) {}
  ~ListReport();
  ListReport(const ListReport &) = delete;
  ListReport &operator=(const ListReport &) = delete;

  void Printf(const char *format, ...) __attribute__((format(printf, 2, 3)));
  // The list is complete: an empty one gets its text.
  void Finish();

 private:
  void Begin(const char *text);
  const char *m_path;
  const char *m_head;
  const char *m_empty;
  ReportFile *m_file = nullptr;
};

}  // namespace tb
