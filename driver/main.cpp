// vwc: count Verilog keywords, lines, words and characters on standard input.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "scan.h"

static void print_report(void)
{
    std::printf("*** Results from Verilog scanner:\n");
    std::printf("Verilog keywords=%" PRId64 "  lines=%" PRId64 "  words=%" PRId64
                "  chars=%" PRId64 "\n",
                keyword_count, line_count, keyword_count + identifier_count, char_count);
}

int main(void)
{
    yylex();
    print_report();
    // A report that never reached its reader must not end in success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "write error: %s\n", std::strerror(errno));
        return 2;
    }
    return 0;
}
