// Reading the readable source of the system formula library.
#include "formula/libsource.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <vector>

#include "formula/kvindexlib.h"
#include "platform/gbk.h"

namespace {

std::string Trimmed(const std::string &s) {
  const size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return {};
  const size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

void SetField(char *field, size_t size, const std::string &gbk) {
  SetIndexName(field, size, gbk.data(), int(gbk.size()));
}

class SourceReader {
 public:
  SourceReader(const std::string &utf8, CKvIndexManager &library) : library_(library) {
    std::istringstream in(utf8);
    for (std::string line; std::getline(in, line);) lines_.push_back(line);
  }

  bool Read(std::string *error) {
    for (n_ = 0; n_ < lines_.size(); ++n_) {
      const std::string line = Trimmed(lines_[n_]);
      if (line.empty() || line[0] == '#') continue;
      std::string word = line.substr(0, line.find(' '));
      const std::string rest = Trimmed(line.substr(word.size()));
      if (!Item(word, rest)) {
        if (error) *error = "line " + std::to_string(n_ + 1) + ": " + error_;
        return false;
      }
    }
    if (!Finish()) {
      if (error) *error = "at the end: " + error_;
      return false;
    }
    return true;
  }

 private:
  bool Fail(const std::string &message) {
    error_ = message;
    return false;
  }

  bool Item(const std::string &word, const std::string &rest) {
    if (word == "group") {
      if (!Finish()) return false;
      if (rest.empty()) return Fail("a group needs a name");
      const std::string name = platform::Utf8ToGbk(rest);
      if (name.size() > 31) return Fail("a group name holds at most 31 bytes");
      group_ = library_.FindGroup(name.c_str());
      if (!group_) {
        group_ = new CKvIndexGroup(name.c_str());
        library_.AddGroup(group_);
      }
      return true;
    }
    if (word == "formula") {
      if (!Finish()) return false;
      if (!group_) return Fail("a formula before any group");
      const std::string name = platform::Utf8ToGbk(rest);
      if (name.empty() || name.size() > 15) return Fail("a formula name holds 1 to 15 bytes");
      formula_ = std::make_unique<CKvIndex>();
      SetField(formula_->name, sizeof formula_->name, name);
      formula_->flags = kIndexSystem;
      text_.clear();
      notes_.clear();
      return true;
    }
    if (!formula_) return Fail("'" + word + "' outside a formula");
    if (word == "kind") {
      uint32_t kind;
      if (rest == "main") kind = 2;
      else if (rest == "overlay") kind = 1;
      else if (rest == "sub") kind = 0;
      else return Fail("kind is main, overlay or sub");
      formula_->flags = (formula_->flags & ~kIndexKindMask) | kind;
      return true;
    }
    if (word == "flags") {
      char *end = nullptr;
      const unsigned long bits = std::strtoul(rest.c_str(), &end, 16);
      if (rest.empty() || *end) return Fail("flags are a hexadecimal number");
      formula_->flags |= uint32_t(bits);
      return true;
    }
    if (word == "description") {
      const std::string text = platform::Utf8ToGbk(rest);
      if (text.size() > 511) return Fail("a description holds at most 511 bytes");
      SetField(formula_->description, sizeof formula_->description, text);
      return true;
    }
    if (word == "param") return Param(rest);
    if (word == "text") return Block(text_);
    if (word == "notes") return Block(notes_);
    return Fail("unknown item '" + word + "'");
  }

  bool Param(const std::string &rest) {
    std::istringstream in(rest);
    std::string name;
    CKvIndexParam p{};
    if (!(in >> name >> p.minimum >> p.maximum >> p.defaultValue) || !(in >> std::ws).eof())
      return Fail("param <name> <minimum> <maximum> <default>");
    const std::string gbk = platform::Utf8ToGbk(name);
    if (gbk.size() > 31) return Fail("a parameter name holds at most 31 bytes");
    if (!(p.minimum <= p.defaultValue && p.defaultValue <= p.maximum))
      return Fail("the default lies outside minimum and maximum");
    SetField(p.name, sizeof p.name, gbk);
    p.reserved = 1.0;
    p.value = p.defaultValue;
    if (!formula_->AddParam(p)) return Fail("a repeated parameter or a 17th one");
    return true;
  }

  // The lines after the current one up to "end", joined with CR LF.
  bool Block(std::string &out) {
    out.clear();
    const size_t start = n_;
    for (++n_; n_ < lines_.size(); ++n_) {
      std::string line = lines_[n_];
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (Trimmed(line) == "end") {
        out = platform::Utf8ToGbk(out);
        return true;
      }
      if (!out.empty()) out += "\r\n";
      out += line;
    }
    n_ = start;
    return Fail("a block without its 'end'");
  }

  // Compiles the formula in hand and adds it to its group.
  bool Finish() {
    if (!formula_) return true;
    std::unique_ptr<CKvIndex> f = std::move(formula_);
    const uint32_t flags = f->flags;
    const std::string name = f->name;
    if (!f->Compile(text_.c_str(), true))
      return Fail(platform::GbkToUtf8(name) + ": " + platform::GbkToUtf8(f->errorText) + " at byte " +
                  std::to_string(f->errorPos));
    f->flags = flags | (f->flags & kIndexFullRecalcOnly);
    if (!notes_.empty()) f->SetUsageNotes(notes_.c_str());
    group_->Add(f.release());
    return true;
  }

  CKvIndexManager &library_;
  std::vector<std::string> lines_;
  size_t n_ = 0;
  CKvIndexGroup *group_ = nullptr;
  std::unique_ptr<CKvIndex> formula_;
  std::string text_, notes_;
  std::string error_;
};

}  // namespace

bool ReadIndexLibrarySource(const std::string &utf8, CKvIndexManager &library, std::string *error) {
  SourceReader reader(utf8, library);
  return reader.Read(error);
}
