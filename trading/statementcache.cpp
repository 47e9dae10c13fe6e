// The per-day statement cache: the statement's text in blocks of 16384
// bytes, each compressed on its own at level 1, the streams back to back
// with nothing between them. Expanding reads stream after stream, each
// stream's end telling where the next one begins.
#include <zlib.h>

#include <algorithm>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/path.h"
#include "trading/accountreport.h"

namespace {

constexpr size_t kBlock = 16384;

bool ReadWhole(const std::string &posix, std::string *out) {
  FILE *file = fopen(posix.c_str(), "rb");
  if (!file) return false;
  struct stat info {};
  if (fstat(fileno(file), &info) == 0 && info.st_size > 0) out->reserve(size_t(info.st_size));
  char chunk[16384];
  size_t n = 0;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) out->append(chunk, n);
  const bool ok = !ferror(file);
  fclose(file);
  return ok;
}

}  // namespace

bool CompressStatementFile(const char *sourcePath, const char *cachePath) {
  const std::string cache = platform::ResolvePath(cachePath);
  std::string raw;
  if (!ReadWhole(platform::ResolvePath(sourcePath), &raw) || raw.empty()) return false;
  // The text as a text-mode read gives it: CR LF pairs become LF.
  std::string text;
  text.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i)
    if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) text.push_back(raw[i]);

  // Written beside the cache file and renamed into place, so that a cut
  // write never leaves a file that looks whole.
  const std::string part = cache + ".part";
  FILE *out = fopen(part.c_str(), "wb");
  if (!out) return false;
  std::vector<Bytef> packed(compressBound(kBlock));
  bool ok = true;
  for (size_t at = 0; ok && at < text.size(); at += kBlock) {
    const size_t length = std::min(kBlock, text.size() - at);
    uLongf size = uLongf(packed.size());
    ok = compress2(packed.data(), &size, reinterpret_cast<const Bytef *>(text.data() + at), uLong(length), 1) == Z_OK &&
         fwrite(packed.data(), 1, size, out) == size;
  }
  ok = fclose(out) == 0 && ok;
  if (ok) ok = rename(part.c_str(), cache.c_str()) == 0;
  if (!ok) {
    remove(part.c_str());
    remove(cache.c_str());
  }
  return ok;
}

bool ExpandStatement(const char *cachePath, std::string *out) {
  const std::string cache = platform::ResolvePath(cachePath);
  std::string packed;
  if (!ReadWhole(cache, &packed)) return false;
  std::string &text = *out;
  text.clear();
  bool ok = !packed.empty();
  z_stream stream{};
  if (ok && inflateInit(&stream) != Z_OK) return false;
  size_t at = 0;
  Bytef block[kBlock];
  while (ok && at < packed.size()) {
    // A stream of ours ends within one block of output.
    stream.next_in = reinterpret_cast<Bytef *>(packed.data() + at);
    stream.avail_in = uInt(packed.size() - at);
    stream.next_out = block;
    stream.avail_out = uInt(kBlock);
    const uLong consumed = stream.total_in;
    ok = inflate(&stream, Z_FINISH) == Z_STREAM_END;
    text.append(reinterpret_cast<const char *>(block), kBlock - stream.avail_out);
    at += stream.total_in - consumed;
    if (ok) ok = inflateReset(&stream) == Z_OK;
  }
  if (!packed.empty()) inflateEnd(&stream);
  if (!ok) remove(cache.c_str());
  return ok;
}

bool ExpandStatementFile(const char *cachePath, const char *targetPath) {
  std::string text;
  if (!ExpandStatement(cachePath, &text)) return false;
  // A new file rather than the old one cut to nothing: the file system
  // then has no reason to write it through at once.
  const std::string target = platform::ResolvePath(targetPath);
  remove(target.c_str());
  FILE *out = fopen(target.c_str(), "wb");
  bool ok = out && fwrite(text.data(), 1, text.size(), out) == text.size();
  if (out) ok = fclose(out) == 0 && ok;
  return ok;
}
