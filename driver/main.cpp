// vwc: count Verilog keywords, lines, words and characters on standard input.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "scan.h"

// The whole report in one write, so that reports of vwcs run in parallel
// into one pipe never mix.  Printed straight to stdout, it can go out a line
// at a time: Wine's C library, for one, writes out each newline.
static void print_report(void)
{
    char report[256];  // the longest report, with four 19-digit counts, is 153 bytes
    int length = std::snprintf(report, sizeof report,
                               "*** Results from Verilog scanner:\n"
                               "Verilog keywords=%" PRId64 "  lines=%" PRId64 "  words=%" PRId64 "  chars=%" PRId64 "\n",
                               keyword_count, line_count, keyword_count + identifier_count, char_count);
    std::fwrite(report, 1, std::size_t(length), stdout);
}

int main(int argc, char**)
{
    // Arguments change nothing, but a file name given as one would otherwise
    // get a report of empty input, or a wait at a terminal, with no word why.
    // Said before the wait: standard error may be buffered (on Windows when
    // it is not a console).
    if (argc > 1) {
        std::fputs("vwc: arguments are ignored; vwc counts standard input only: vwc < file.v\n", stderr);
        std::fflush(stderr);
    }
    yylex();
    print_report();
    // A report that never reached its reader must not end in success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "write error: %s\n", std::strerror(errno));
        return 2;
    }
    return 0;
}
