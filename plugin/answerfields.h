// An answer or pushed record split once into its fields, for readers that
// take the fields out of order. Each field is copied out with SplitField's
// rules (GBK-aware, trimmed, bounded by the destination).
#pragma once

#include <cstddef>
#include <cstdlib>

#include "plugin/brokerstr.h"

namespace tb {

// Copies text into out, at most N - 1 bytes and a NUL.
template <size_t N>
void CopyBounded(char (&out)[N], const char *text) {
  size_t length = 0;
  if (text)
    while (length < N - 1 && text[length]) ++length;
  for (size_t i = 0; i < length; ++i) out[i] = text[i];
  out[length] = '\0';
}

class AnswerFields {
 public:
  // Fields past this index read as empty.
  static constexpr int kMaxFields = 64;

  // text's first field has index first.
  explicit AnswerFields(const char *text, int first = 0);

  // Field index into out, at most width - 1 bytes.
  void Get(int index, char *out, size_t width) const;
  template <size_t N>
  void Get(int index, char (&out)[N]) const {
    Get(index, out, N);
  }
  bool Empty(int index) const;
  // The first character ('\0' when empty).
  char Char(int index) const;
  int Int(int index) const;
  double Double(int index) const;
  // Exactly this text.
  bool Is(int index, const char *text) const;
  // What follows field index's separator (the record after it).
  const char *After(int index) const;

 private:
  const char *Start(int index) const;
  const char *m_starts[kMaxFields + 1];
  int m_first;
  int m_count;
};

}  // namespace tb
