// The uniqueness check that guards the private message numbers must itself
// catch a repeated number wherever it sits.
#include "platform/messages.h"

namespace {

constexpr UINT kRepeatFirstLast[] = {2529, 2533, 2529};
constexpr UINT kRepeatAdjacent[] = {883, 2026, 2026, 2527};
constexpr UINT kDistinct[] = {883, 2026, 2527};

static_assert(!platform::AllDistinct(kRepeatFirstLast));
static_assert(!platform::AllDistinct(kRepeatAdjacent));
static_assert(platform::AllDistinct(kDistinct));

}  // namespace
