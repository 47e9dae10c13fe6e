#include "testing/quote_double_startup.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "market/marketrecords.h"
#include "testing/server_blocks.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kConfigHead = 44;

void Put16(std::vector<uint8_t> &out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t> &out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
uint16_t Le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool ReadBytes(const std::string &path, std::vector<uint8_t> *bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

void WriteBytes(const fs::path &path, const std::vector<uint8_t> &bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("server blocks: cannot write " + path.string());
}

// A name the client may ask for: one plain component.
bool PlainName(const std::string &name) {
  return !name.empty() && name.find_first_of("/\\:") == std::string::npos && name.find("..") == std::string::npos;
}

// Last-write date of a file as year x 10000 + month x 100 + day (UTC).
uint32_t FileDate(const std::string &path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  std::tm utc{};
  const time_t seconds = st.st_mtim.tv_sec;
  gmtime_r(&seconds, &utc);
  return uint32_t(utc.tm_year + 1900) * 10000 + uint32_t(utc.tm_mon + 1) * 100 + uint32_t(utc.tm_mday);
}

std::string Field(const char *field, size_t size) { return std::string(field, strnlen(field, size)); }

}  // namespace

QuoteStartupService::QuoteStartupService(QuoteDouble &server, std::string root)
    : QuoteStartupService(server, std::move(root), Options{}) {}

QuoteStartupService::QuoteStartupService(QuoteDouble &server, std::string root, const Options &options)
    : server_(server), root_(std::move(root)), options_(options) {}

void QuoteStartupService::Install() {
  for (uint8_t command : {FRAME_UPDATE_CHECK, FRAME_CLIENT_VERSION, FRAME_CONFIG_FILE, FRAME_BLOCK_INDEX,
                          FRAME_BLOCK_FILE, FRAME_CODE_TABLE, FRAME_NAME_TABLE, FRAME_FINANCE})
    server_.SetHandler(QuoteDouble::kData, command, [this](QuoteDouble::Exchange &e) { Serve(e); });
}

void QuoteStartupService::SetOptions(const Options &options) {
  std::lock_guard guard(lock_);
  options_ = options;
}

QuoteStartupService::Options QuoteStartupService::GetOptions() const {
  std::lock_guard guard(lock_);
  return options_;
}

void QuoteStartupService::Serve(QuoteDouble::Exchange &e) {
  Options o = GetOptions();
  o.configSliceBytes = std::clamp<size_t>(o.configSliceBytes, 1, size_t(kMaxFrameBody) - kConfigHead);
  o.blockPartBytes = std::clamp<size_t>(o.blockPartBytes, 22, size_t(kMaxFrameBody));
  o.codeTablePage = std::clamp(o.codeTablePage, 1, 255);
  o.extendedItemsPerPart = std::clamp(o.extendedItemsPerPart, 1, 585);
  o.financeItemsPerPart = std::clamp(o.financeItemsPerPart, 1, 240);
  switch (e.head().command) {
    case FRAME_UPDATE_CHECK: {
      std::vector<uint8_t> body;
      Put32(body, o.newestVersion);
      e.Answer(FRAME_UPDATE_CHECK, body);
      break;
    }
    case FRAME_CLIENT_VERSION: e.Answer(FRAME_CLIENT_VERSION, std::vector<uint8_t>(4, 0)); break;
    case FRAME_CONFIG_FILE: ServeConfigFile(e, o); break;
    case FRAME_BLOCK_INDEX: ServeBlockIndex(e); break;
    case FRAME_BLOCK_FILE: ServeBlockFiles(e, o); break;
    case FRAME_CODE_TABLE: ServeCodeTable(e, o); break;
    case FRAME_NAME_TABLE: ServeExtendedNames(e, o); break;
    case FRAME_FINANCE: ServeFinance(e, o); break;
    default: e.Refuse("不支持的请求。"); break;
  }
}

void QuoteStartupService::ServeConfigFile(QuoteDouble::Exchange &e, const Options &o) {
  const std::vector<uint8_t> &request = e.body();
  if (request.size() < kConfigHead) return e.Refuse("请求格式错误。");
  const std::string name = Field(reinterpret_cast<const char *>(request.data()), 32);
  if (!PlainName(name)) return e.Refuse("文件名错误。");
  const std::string path = root_ + "/cfg/" + name;
  std::vector<uint8_t> file;
  const bool present = ReadBytes(path, &file);
  const uint32_t date = present ? FileDate(path) : 0;

  std::vector<uint8_t> head(kConfigHead, 0);
  std::memcpy(head.data(), request.data(), 32);
  head[32] = uint8_t(file.size());
  head[33] = uint8_t(file.size() >> 8);
  head[34] = uint8_t(file.size() >> 16);
  head[35] = uint8_t(file.size() >> 24);
  head[36] = uint8_t(date);
  head[37] = uint8_t(date >> 8);
  head[38] = uint8_t(date >> 16);
  head[39] = uint8_t(date >> 24);

  const auto key = std::make_pair(e.connection(), name);
  std::lock_guard guard(lock_);
  const bool current = Le32(request.data() + 32) == file.size() && Le32(request.data() + 36) == date;
  if (!present || file.empty() || current) {
    offsets_.erase(key);
    return e.Answer(FRAME_CONFIG_FILE, head);
  }
  size_t &offset = offsets_[key];
  if (offset >= file.size()) offset = 0;
  const size_t slice = std::min(o.configSliceBytes, file.size() - offset);
  std::vector<uint8_t> body = head;
  body.insert(body.end(), file.begin() + ptrdiff_t(offset), file.begin() + ptrdiff_t(offset + slice));
  offset += slice;
  if (offset >= file.size()) {
    offsets_.erase(key);
    body.resize(std::min(body.size() + o.configOverrunBytes, size_t(kMaxFrameBody)), 'Z');
  }
  e.Answer(FRAME_CONFIG_FILE, std::move(body));
}

void QuoteStartupService::ServeBlockIndex(QuoteDouble::Exchange &e) {
  if (e.body().size() < 4) return e.Refuse("请求格式错误。");
  std::vector<uint8_t> index;
  if (!ReadBytes(root_ + "/cfg/Block/BlockIndex.idx", &index) || index.size() < 4 ||
      Le32(index.data()) == Le32(e.body().data())) {
    // Nothing new: a body too short to be an index.
    std::vector<uint8_t> body;
    Put32(body, index.size() >= 4 ? Le32(index.data()) : 0);
    return e.Answer(FRAME_BLOCK_INDEX, body);
  }
  e.Answer(FRAME_BLOCK_INDEX, std::move(index));
}

void QuoteStartupService::ServeBlockFiles(QuoteDouble::Exchange &e, const Options &o) {
  const std::vector<uint8_t> &request = e.body();
  std::vector<uint8_t> run;
  for (size_t at = 0; at + 7 <= request.size(); at += 7) {
    std::vector<uint8_t> file;
    if (ReadBytes(root_ + "/cfg/Block/" + std::to_string(Le32(request.data() + at + 1)) + ".dat", &file))
      run.insert(run.end(), file.begin(), file.end());
  }
  if (run.empty()) return e.Refuse("没有这些板块。");
  // Even parts of at most blockPartBytes: none is short enough (10 bytes or
  // less) for the client to take it for no part at all.
  const size_t count = (run.size() + o.blockPartBytes - 1) / o.blockPartBytes;
  std::vector<std::vector<uint8_t>> parts;
  for (size_t i = 0; i < count; ++i)
    parts.emplace_back(run.begin() + ptrdiff_t(run.size() * i / count),
                       run.begin() + ptrdiff_t(run.size() * (i + 1) / count));
  e.AnswerParts(FRAME_BLOCK_FILE, std::move(parts));
}

bool QuoteStartupService::MarketFile(int market, const char *base, std::string *path) const {
  std::vector<uint8_t> records;
  if (market < 0 || !ReadBytes(root_ + "/cfg/mkinfo.cfg", &records) ||
      records.size() < size_t(market + 1) * sizeof(MKINFO))
    return false;
  MKINFO record;
  std::memcpy(&record, records.data() + size_t(market) * sizeof(MKINFO), sizeof record);
  const std::string shortName = Field(record.shortName, sizeof record.shortName);
  const std::string extension = Field(record.extension, sizeof record.extension);
  if (!PlainName(shortName) || !PlainName(extension)) return false;
  *path = root_ + "/data/" + shortName + "/" + base + "." + extension;
  return true;
}

void QuoteStartupService::ServeCodeTable(QuoteDouble::Exchange &e, const Options &o) {
  const std::vector<uint8_t> &request = e.body();
  std::string path;
  std::vector<uint8_t> table;
  if (request.size() < 7 || !MarketFile(request[0], "nametbl", &path) || !ReadBytes(path, &table))
    return e.Refuse("没有该市场的代码表。");
  const size_t total = std::min<size_t>(table.size() / sizeof(STKINFO), 0xFFFF);
  const size_t first = Le16(request.data() + 1);
  const size_t entries = first < total ? std::min(size_t(o.codeTablePage), total - first) : 0;
  std::vector<uint8_t> body{request[0]};
  Put16(body, uint32_t(first));
  Put16(body, uint32_t(entries));
  Put16(body, uint32_t(total));
  body.insert(body.end(), table.begin() + ptrdiff_t(first * sizeof(STKINFO)),
              table.begin() + ptrdiff_t((first + entries) * sizeof(STKINFO)));
  e.Answer(FRAME_CODE_TABLE, std::move(body));
}

void QuoteStartupService::ServeExtendedNames(QuoteDouble::Exchange &e, const Options &o) {
  const std::vector<uint8_t> &request = e.body();
  std::string namesPath, codesPath;
  std::vector<uint8_t> names, codes;
  if (request.empty() || !MarketFile(request[0], "nametbl", &namesPath) || !ReadBytes(namesPath, &names) ||
      !MarketFile(request[0], "nametble", &codesPath))
    return e.Refuse("没有该市场的代码表。");
  ReadBytes(codesPath, &codes);  // a market without contract codes answers no items
  const size_t items = std::min(names.size() / sizeof(STKINFO), codes.size() / sizeof(STKINFOEX));
  std::vector<std::vector<uint8_t>> parts;
  for (size_t at = 0; at < items || parts.empty(); at += size_t(o.extendedItemsPerPart)) {
    std::vector<uint8_t> part{request[0]};
    for (size_t i = at; i < std::min(items, at + size_t(o.extendedItemsPerPart)); ++i) {
      const uint8_t *contract = codes.data() + i * sizeof(STKINFOEX);
      const uint8_t *code = names.data() + i * sizeof(STKINFO) + offsetof(STKINFO, code);
      part.insert(part.end(), contract, contract + 7);
      part.insert(part.end(), code, code + 7);
    }
    parts.push_back(std::move(part));
  }
  e.AnswerParts(FRAME_NAME_TABLE, std::move(parts));
}

void QuoteStartupService::ServeFinance(QuoteDouble::Exchange &e, const Options &o) {
  const std::vector<uint8_t> &request = e.body();
  std::string path;
  std::vector<uint8_t> records;
  if (request.size() < 98 || !MarketFile(Le16(request.data() + 1), "Finance", &path) || !ReadBytes(path, &records))
    return e.Refuse("没有该市场的财务数据。");
  const size_t count = std::min<size_t>(records.size() / sizeof(FINANCE), 0xFFFF);
  std::vector<std::vector<uint8_t>> parts;
  for (size_t at = 0; at < count || parts.empty(); at += size_t(o.financeItemsPerPart)) {
    std::vector<uint8_t> part;
    if (parts.empty()) {
      part.assign(9, 0);
      part[0] = 1;
      part[1] = request[1];
      part[2] = request[2];
    }
    for (size_t i = at; i < std::min(count, at + size_t(o.financeItemsPerPart)); ++i) {
      Put16(part, uint32_t(i));
      const uint8_t *values = records.data() + i * sizeof(FINANCE);
      part.insert(part.end(), values, values + 32);
    }
    parts.push_back(std::move(part));
  }
  e.AnswerParts(FRAME_FINANCE, std::move(parts));
}

void WriteServerBlocks(const market_fixture::DataSetDesc &dataSet, const std::string &root) {
  constexpr uint8_t kCategory = 2;
  const fs::path folder = fs::path(root) / "cfg" / "Block";
  std::vector<testing_support::ServerBlock> blocks;
  uint32_t id = 1001;
  for (const market_fixture::BlockDesc &block : dataSet.sharedBlocks.blocks) {
    if (block.name.size() > 15) throw std::invalid_argument("server blocks: name too long: " + block.name);
    testing_support::ServerBlock b{kCategory, id++, block.name, {}};
    for (const std::string &member : block.members) {
      std::istringstream words(member);
      std::string shortName, code;
      words >> shortName >> code;
      int market = -1;
      for (size_t m = 0; m < dataSet.markets.size(); ++m)
        if (dataSet.markets[m].shortName == shortName) market = int(m);
      if (market < 0 || code.empty() || code.size() > 7)
        throw std::invalid_argument("server blocks: no such instrument: " + member);
      b.members.emplace_back(market + 1000, code);
    }
    blocks.push_back(std::move(b));
  }
  auto bytes = [](const std::string &text) { return std::vector<uint8_t>(text.begin(), text.end()); };
  for (const testing_support::ServerBlock &b : blocks)
    WriteBytes(folder / (std::to_string(b.number) + ".dat"),
               bytes(testing_support::ServerBlockMembers(b.number, b.members, -1, b.category)));
  WriteBytes(folder / "BlockIndex.idx", bytes(testing_support::ServerBlockIndex(blocks, 1)));
}
