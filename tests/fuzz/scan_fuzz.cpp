// Feeds arbitrary bytes to the scanner and checks its four tallies against a
// small model of the token rules written independently here.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "scan.h"

extern FILE* yyin;
int yylex_destroy(void);

struct Tallies {
    std::int64_t keywords, identifiers, lines, chars;
};

static bool is_letter(unsigned char b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }
static bool is_tail(unsigned char b) { return is_letter(b) || (b >= '0' && b <= '9') || b == '_' || b == '$'; }

static bool is_keyword(const std::uint8_t* word, size_t length)
{
    static const char* const keywords[] = {"always", "begin", "end", "endmodule", "input",
                                           "module", "output", "posedge", "reg"};
    for (const char* k : keywords)
        if (std::strlen(k) == length && std::memcmp(k, word, length) == 0)
            return true;
    return false;
}

// Left to right: a letter starts a word that runs through every tail byte
// after it; any other byte stands alone.
static Tallies model(const std::uint8_t* data, size_t size)
{
    Tallies t{};
    for (size_t i = 0; i < size;) {
        size_t end = i + 1;
        if (is_letter(data[i])) {
            while (end < size && is_tail(data[end]))
                ++end;
            ++(is_keyword(data + i, end - i) ? t.keywords : t.identifiers);
        }
        for (size_t j = i; j < end; ++j) {
            t.lines += data[j] == '\n';
            t.chars += data[j] != ' ' && data[j] != '\t';
        }
        i = end;
    }
    return t;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;  // fmemopen wants at least one byte; empty input is in the end-to-end suite
    FILE* input = fmemopen(const_cast<std::uint8_t*>(data), size, "r");
    if (!input)
        std::abort();
    keyword_count = identifier_count = line_count = char_count = 0;
    yyin = input;
    yylex();
    yylex_destroy();  // the next input starts with a new buffer, to grow again
    std::fclose(input);

    Tallies expected = model(data, size);
    if (keyword_count != expected.keywords || identifier_count != expected.identifiers ||
        line_count != expected.lines || char_count != expected.chars) {
        std::fprintf(stderr, "scanner %lld %lld %lld %lld, model %lld %lld %lld %lld\n",
                     (long long)keyword_count, (long long)identifier_count, (long long)line_count,
                     (long long)char_count, (long long)expected.keywords, (long long)expected.identifiers,
                     (long long)expected.lines, (long long)expected.chars);
        std::abort();
    }
    return 0;
}
