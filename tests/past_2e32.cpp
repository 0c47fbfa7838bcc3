// Linked into vwc_past_2e32 beside vwc's own driver and scanner: the four
// counts start at 2^32 - 1 instead of 0, so any input carries each of them
// past 2^32.  A counter 32 bits wide, signed or unsigned, wraps there, and
// the suite's count table, run against this program, sees it.
#include "scan.h"

static bool start_past_2e32(void)
{
    // One at a time: a chained assignment would pass one narrow counter's
    // wrapped value on to the others.
    keyword_count = 4294967295;
    identifier_count = 4294967295;
    line_count = 4294967295;
    char_count = 4294967295;
    return true;
}

// Runs before main, as the program starts.
[[maybe_unused]] static const bool started = start_past_2e32();
