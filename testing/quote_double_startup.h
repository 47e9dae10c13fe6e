// The start-up exchanges of the quote-service double, served from an
// offline data set on disk (testing/market_fixture.h writes one; the
// quote service's sector blocks come from WriteServerBlocks):
//
//   202 update check       the newest program version of the options
//   53  client version     a 4-byte acknowledgement
//   206 configuration file "cfg/<name>" in slices; the request carries no
//                          offset, so the double keeps one per connection
//                          and file name and sends the next slice each
//                          time the same request comes. A request whose
//                          size and date match the file, or a file the
//                          data set lacks, gets the bare 44-byte head.
//   110 block index        "cfg/Block/BlockIndex.idx" whole, or a 4-byte
//                          body when the client's version word matches
//   111 block files        the asked "cfg/Block/<id>.dat" run together and
//                          cut into parts, so that a file may continue in
//                          the next part
//   51  code table         "data/<short>/nametbl.<ext>" in pages
//   34  extended names     {contract code; code} of nametble.<ext>, in parts
//   14  finance            the first eight values of every Finance.<ext>
//                          record, in parts after a 9-byte head
//
// Markets are found by their record in "cfg/mkinfo.cfg". Requests that are
// too short, or name a market or file the data set lacks, are refused with
// a server text (command 2). Handlers run on the double's thread and read
// the files at every request, so a test may change them between requests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "testing/market_fixture.h"
#include "testing/quote_double.h"

class QuoteStartupService {
 public:
  struct Options {
    uint32_t newestVersion = 0;           // 0: never newer than any installed program
    size_t configSliceBytes = 8192 - 44;  // file bytes per answer, at most 8148
    size_t blockPartBytes = 8192;         // body bytes per block-file part, 22 to 8192
    int codeTablePage = 255;              // entries per code-table answer, 1 to 255
    int extendedItemsPerPart = 585;       // 1 to 585
    int financeItemsPerPart = 240;        // 1 to 240
    // A fault: the last slice of every configuration file carries this
    // many bytes more than the size its head announces.
    size_t configOverrunBytes = 0;
  };

  // Serves the data set below root (a POSIX folder). Keep the service until
  // no client talks to the double any more: its handlers point back here.
  QuoteStartupService(QuoteDouble &server, std::string root);
  QuoteStartupService(QuoteDouble &server, std::string root, const Options &options);
  QuoteStartupService(const QuoteStartupService &) = delete;
  QuoteStartupService &operator=(const QuoteStartupService &) = delete;

  // Makes the data server answer the commands above through Serve.
  void Install();
  // Answers one start-up request the way the installed handlers do; a test
  // that spoils one answer wraps it in a handler of its own.
  void Serve(QuoteDouble::Exchange &e);

  void SetOptions(const Options &options);
  Options GetOptions() const;
  const std::string &Root() const { return root_; }

 private:
  void ServeConfigFile(QuoteDouble::Exchange &e, const Options &o);
  void ServeBlockIndex(QuoteDouble::Exchange &e);
  void ServeBlockFiles(QuoteDouble::Exchange &e, const Options &o);
  void ServeCodeTable(QuoteDouble::Exchange &e, const Options &o);
  void ServeExtendedNames(QuoteDouble::Exchange &e, const Options &o);
  void ServeFinance(QuoteDouble::Exchange &e, const Options &o);
  // "data/<short>/<base>.<ext>" of a market of cfg/mkinfo.cfg; false for a
  // market the file lacks.
  bool MarketFile(int market, const char *base, std::string *path) const;

  QuoteDouble &server_;
  std::string root_;
  mutable std::mutex lock_;
  Options options_;
  // Next byte of each configuration file, by connection and name.
  std::map<std::pair<int, std::string>, size_t> offsets_;
};

// The quote service's sector blocks of a data set, below root:
// "cfg/Block/BlockIndex.idx" (version word 1, category 2 entries of
// version 1) and one "cfg/Block/<id>.dat" for each shared block of the
// description, ids counted from 1001 in block order. Members the
// description names are written as {market + 1000; code}.
void WriteServerBlocks(const market_fixture::DataSetDesc &dataSet, const std::string &root);
