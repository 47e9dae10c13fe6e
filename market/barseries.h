// Bar series building: the bars of one chart period for a bar agent. The
// history comes from one of the four bar files (1-minute, 5-minute,
// 60-minute, day), folded into the period; today follows, made from the
// instrument's live minute trend (intraday periods) or from its live quote
// (day-based periods).
//
// Chart period codes: 1 one minute, 2 three, 3 N minutes, 4 five,
// 5 fifteen, 6 thirty, 7 sixty, 8 day, 9 week, 10 month, 11 quarter, 12 N
// days, 13 120 minutes, 14 240 minutes; any other code is a day.
//
// A live quote changes only the end of today: the bars of today are kept
// with what they were made from, and a quote refolds just the last group
// of one-minute bars instead of the whole day.
//
// GUI thread only.
#pragma once

#include <cstdint>

#include "market/dataagent.h"
#include "market/records.h"

class TMarketData;

// One-minute bars a bar agent's work buffer holds: a whole day and its
// edges.
constexpr int32_t kMinuteWorkBars = 1444;
// The fewest bars a series holds whatever MaxDataRecords says: today's
// one-minute bars must always fit beside a little history.
constexpr int32_t kMinSeriesBars = 2 * kMinuteWorkBars;

// The bars every bar series holds: MaxDataRecords, at least kMinSeriesBars.
int32_t SeriesCapacity();

// The agent kind and count of a chart period (custom: the N of codes 3 and
// 12). False only for a null output.
bool PeriodToAgentKind(int period, uint32_t custom, uint8_t *kind, uint32_t *count);
// The reverse: the period code of a bar agent's kind and count, with the
// custom count in *custom (codes 3 and 12). 0 for kinds without a period
// (5, 11 and every kind that is not a bar kind).
int AgentPeriodCode(int kind, uint32_t count, uint32_t *custom);

// Reads the bar file of the period into the shared scratch buffer and folds
// it into *buffer (allocated with room for SeriesCapacity() bars when
// null). Never reads more than either buffer holds, and reads nothing when
// the number of bars to read works out at 0 or less. With a tag and a
// request client, queues the bar request (older history with history
// set). *count = folded bars; *complete as AggregateBars says. 1 when bars
// were read and folded, else 0.
int LoadBarsForPeriod(KLINEBAR **buffer, int market, const char *code, int32_t *count, int period,
                      uint32_t custom, int32_t wanted, bool history, uint32_t tag, uint8_t *complete);

// Folds history bars of a bar file into the period; target may be the
// source. *complete is cleared when the last N-day group is short.
void AggregateBars(int period, uint32_t custom, const KLINEBAR *source, int32_t n, KLINEBAR *target,
                   int32_t *out, int marketType, uint8_t *complete);
// Folds today's one-minute bars into the period.
void AggregateMinuteBars(int period, uint32_t custom, const KLINEBAR *bars, int32_t n, KLINEBAR *target,
                         int32_t *out, int marketType);

// Today's one-minute bars of a stock kind from its minute-trend records:
// one per trading minute up to the current one (the whole day when the
// market is not trading today), each stamped with its end minute, volumes
// (and turnover) per minute. At most capacity bars; returns their number.
int32_t BuildIntradayBars(const TMarketData *market, int stockKind, const TRENDREC *records, int32_t count,
                          KLINEBAR *target, int32_t capacity);

// Builds a bar agent's series: history (reloaded from the file with
// loadHistory, else the history already held) and today. With requests a
// load also queues the bar request with the agent's tag (older history
// with historyRequest). The parent's records must be current. False for a
// kind without a period or when memory fails.
bool BuildBarSeries(CDataAgent *agent, bool loadHistory, bool historyRequest, bool requests);
// The same after a live quote reached the parent: refolds only the end of
// today when nothing else changed, else builds without loading.
bool UpdateTodayBars(CDataAgent *agent);
// Queues a request for older bars while the agent holds fewer than
// MaxDataRecords.
void RequestAgentHistory(const CDataAgent *agent);

// ---- Market time as the series see it ----------------------------------
// The calendar questions of the series use the market's index as the
// calendar key.

// True when the market clock's date is a trading day and the stock kind
// trades for it (its trading date is that date).
bool TradesTodayForKind(const TMarketData *market, int stockKind);
// The trading minutes of a kind's day, at most 1440.
int32_t TrendMinutesOfKind(const TMarketData *market, int stockKind);
// The trend slot the market clock is in: 0 before the first open, the
// current trading minute + 1 during the day, the day's minutes after the
// last close; the day's minutes when the kind does not trade today.
int32_t CurrentTrendSlot(const TMarketData *market, int stockKind);
