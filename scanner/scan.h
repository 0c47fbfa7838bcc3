// What the driver sees of the scanner: one entry point and four tallies.
#ifndef VWC_SCAN_H
#define VWC_SCAN_H

#include <cstdint>

// Zero at start, only ever incremented by the rule actions.
extern std::int64_t keyword_count;     // tokens that are exactly a keyword
extern std::int64_t identifier_count;  // other identifiers
extern std::int64_t line_count;        // newline bytes
extern std::int64_t char_count;        // bytes other than space and tab

// Scans standard input to its end; returns 0.  A read or memory failure
// ends the process with status 2 and one line on standard error.
int yylex(void);

#endif
