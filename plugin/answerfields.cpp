#include "plugin/answerfields.h"

#include <cstring>

namespace tb {

AnswerFields::AnswerFields(const char *text, int first) : m_first(first), m_count(0) {
  const char *at = text ? text : "";
  for (int index = first; index <= kMaxFields && m_count <= kMaxFields; ++index) {
    m_starts[m_count++] = at;
    if (!*at) break;
    at = SplitField(at, nullptr, 0);
  }
}

const char *AnswerFields::Start(int index) const {
  const int at = index - m_first;
  return at >= 0 && at < m_count ? m_starts[at] : "";
}

void AnswerFields::Get(int index, char *out, size_t width) const {
  if (width == 0) return;
  SplitField(Start(index), out, width);
}

bool AnswerFields::Empty(int index) const {
  char field[2];
  Get(index, field);
  return field[0] == '\0';
}

char AnswerFields::Char(int index) const {
  char field[2];
  Get(index, field);
  return field[0];
}

int AnswerFields::Int(int index) const {
  char field[kSkipWidth];
  Get(index, field);
  return FieldInt(field);
}

double AnswerFields::Double(int index) const {
  char field[kSkipWidth];
  Get(index, field);
  return atof(field);
}

bool AnswerFields::Is(int index, const char *text) const {
  char field[kSkipWidth];
  Get(index, field);
  return strcmp(field, text) == 0;
}

const char *AnswerFields::After(int index) const { return SplitField(Start(index), nullptr, 0); }

}  // namespace tb
