// The quote double's answers to the requests of the asynchronous phase,
// served from an offline data set (testing/market_fixture.h): bars of every
// base, today's trend, ticks and latest trades, trend days, the code and
// extended name tables, rankings (records of 8, 11 or 15 bytes by column,
// over listed instruments or a block numbered as the terminal numbers its
// market and kind blocks), news lists and texts, notes, information indexes
// and texts, weights, advice, broker queues, the system and real-time
// messages and the password change. What the data set does not describe
// (notes, information texts, weights, advice, broker queues, messages) is
// made up deterministically from the instrument, so a test can compute what
// it must receive.
//
// Answers are cut into parts of at most Options::maxPartBody bytes, each
// with the fixed head its command has. A request the data set has nothing
// for is refused with a server text (command 2), as the real server does
// for a day without trend or the end of the news.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "market/datafile.h"
#include "market/marketrecords.h"
#include "testing/market_fixture.h"
#include "testing/quote_double.h"

class QuoteRequestServer {
 public:
  struct Options {
    // Body bytes of one part before compression; 8192 at most.
    int maxPartBody = kMaxFrameBody;
    // News items of one list page.
    int newsPerPage = 50;
    // Entries of one code-table answer.
    int codeEntriesPerAnswer = 255;
    // A fault: bar answers carry the bars of the asked instrument but name
    // the next instrument of its market (the first after the last).
    bool barsNameTheNextInstrument = false;
  };

  // One made-up note of a notes channel.
  struct Note {
    std::string key;    // body file name, at most 15 bytes
    std::string title;  // at most 79 bytes
    std::string text;
    uint16_t value = 0;
    uint32_t dateTime = 0;  // decimal MMDD in bits 0-19, HHMM in bits 20-31
  };

  // The answer to one request: its command and its parts' bodies; a refusal
  // is command 2 with one server-text body.
  struct Reply {
    uint8_t command = 0;
    std::vector<std::vector<uint8_t>> parts;
  };

  QuoteRequestServer(market_fixture::DataSetDesc desc, Options options);
  explicit QuoteRequestServer(market_fixture::DataSetDesc desc) : QuoteRequestServer(std::move(desc), Options{}) {}

  // Registers a handler for every request command of the asynchronous
  // phase on the double's data server. The handlers keep what they need;
  // this object may go before the double.
  void Install(QuoteDouble &server) const;
  // The answer commands Install makes the data server serve.
  static const std::vector<uint8_t> &Commands();

  // What the handler answers to a request body of the command.
  Reply Serve(uint8_t command, const std::vector<uint8_t> &request) const;

  // --- The made-up data, for tests ---------------------------------------
  static std::vector<Note> Notes(int channel);
  static std::string BaseTextFile(const std::string &code);
  // Ex-rights records (36 bytes each, oldest first) dated back from the
  // data set's now: "600000" a bonus of 3 shares per 10 with a dividend and
  // later a dividend alone; others every second one a dividend, or none.
  static std::vector<uint8_t> Weights(const std::string &code, PackedDateTime utcNow);
  static std::vector<ADVICEREC> Advice(const std::string &code);
  static BROKERQUEUE BrokerQueue(const std::string &code);
  // The information index of a class: 256-byte entries whose sections lie
  // one after another in InfoText.
  static std::vector<std::vector<uint8_t>> InfoIndex(const std::string &code, int infoClass);
  static std::string InfoText(const std::string &code, int infoClass);
  static std::string SystemMessage();
  static std::string RealtimeMessage();
  // The record size of a ranking by server column code: 8, 11 or 15.
  static int RankingRecordSize(int column);
  // The values A, B and C of one instrument's ranking record by server
  // column code, from its quote in the quote's own units (prices not
  // divided), as the asking views compute their values from them: a price
  // or volume field alone; change and change in percent, strength and fast
  // change the last price against the reference; amplitude the high and
  // the low against the reference; volume ratio the volume against the
  // average volume; order ratio the five bid volumes against the five ask
  // volumes. Columns without a rule answer 0.
  struct RankingRecord {
    float a = 0, b = 0, c = 0;
  };
  static RankingRecord RankingValues(int column, const REALQUOTE &quote);
  // The members of a block the terminal numbers: markets 0..M-1, then the
  // stock kinds of every market in order.
  std::vector<STKMS> BlockMembers(uint32_t blockId) const;

  const market_fixture::DataSetDesc &DataSet() const;

 private:
  struct Data;
  std::shared_ptr<Data> data_;
};
