// End to end: bytes in on standard input; exact report, messages and exit
// status out, from the real program.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "run_vwc.h"

// Windows text mode drops the CR of CR LF, stops at Ctrl-Z and ends the
// report's lines in CR LF.
static bool windows = false;

static std::string eol() { return windows ? "\r\n" : "\n"; }

struct Counts {
    long long keywords, lines, words, chars;
};

static std::string report(const Counts& c)
{
    return "*** Results from Verilog scanner:" + eol() + "Verilog keywords=" + std::to_string(c.keywords) +
           "  lines=" + std::to_string(c.lines) + "  words=" + std::to_string(c.words) +
           "  chars=" + std::to_string(c.chars) + eol();
}

static void expect_report(const Outcome& outcome, const Counts& counts)
{
    EXPECT_EQ(outcome.out, report(counts));
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.status, 0);
}

static void expect_failure(const Outcome& outcome, const std::string& message)
{
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, message + eol());
    EXPECT_EQ(outcome.status, 2);
}

using namespace std::string_literals;

// ---------------------------------------------------------------------------
struct CountCase {
    const char* name;
    std::string input;
    Counts posix;
    Counts text_mode;  // where Windows text mode sees other bytes
};

static const std::string three_line_module =
    "module top(input clk, output reg q);\n"
    "  always @(posedge clk) begin q <= ~q; end\n"
    "endmodule\n";

static const CountCase count_cases[] = {
    {"empty", "", {0, 0, 0, 0}, {0, 0, 0, 0}},
    {"three_line_module", three_line_module, {9, 3, 15, 76}, {9, 3, 15, 76}},
    {"keyword_edges_nul_and_no_final_newline",
     "endcase end endmodule endmodulex Module reg8 8'b1010 _abc $display \0x"s,
     {2, 0, 10, 60}, {2, 0, 10, 60}},
    {"comments_and_strings_are_not_special", "// module x\n/* reg */ \"end\"\n", {3, 2, 4, 23}, {3, 2, 4, 23}},
    {"cr_lf_tab_and_spaces", "a\r\nb\tc  d", {0, 1, 4, 6}, {0, 1, 4, 5}},
    {"lone_cr_is_counted", "a\rb", {0, 0, 2, 3}, {0, 0, 2, 3}},
    {"keyword_glued_to_tail_bytes", "reg8 always$ always_ff module1 regs", {0, 0, 5, 31}, {0, 0, 5, 31}},
    {"upper_case_is_not_a_keyword", "MODULE Module mODULE", {0, 0, 3, 18}, {0, 0, 3, 18}},
    {"every_keyword_once", "always begin end endmodule input module output posedge reg",
     {9, 0, 9, 50}, {9, 0, 9, 50}},
    {"keyword_prefix_is_an_identifier", "beg alway endmod modul", {0, 0, 4, 19}, {0, 0, 4, 19}},
    {"other_verilog_reserved_words_are_plain_words",
     "wire assign if else case endcase casez default initial parameter localparam integer real time negedge "
     "function endfunction task endtask for while repeat forever generate endgenerate genvar inout",
     {0, 0, 27, 168}, {0, 0, 27, 168}},
    {"systemverilog_reserved_words_are_plain_words",
     "logic bit int byte always_comb always_latch interface endinterface package class typedef enum struct",
     {0, 0, 13, 88}, {0, 0, 13, 88}},
    {"punctuation_splits_keywords", "reg(reg)reg,end;end:module@", {6, 0, 6, 27}, {6, 0, 6, 27}},
    // Each byte at or beside an end of the letter and tail sets, before and
    // after a keyword: one that starts or continues a word by mistake, or no
    // longer does, moves the keyword's boundary.
    {"set_edges_before_a_keyword",
     "\"reg #reg $reg %reg /reg 0reg 9reg :reg @reg Areg Zreg [reg ^reg _reg `reg areg zreg {reg",
     {14, 0, 18, 72}, {14, 0, 18, 72}},
    {"set_edges_after_a_keyword",
     "reg\" reg# reg$ reg% reg/ reg0 reg9 reg: reg@ regA regZ reg[ reg^ reg_ reg` rega regz reg{",
     {10, 0, 18, 72}, {10, 0, 18, 72}},
    {"operators_are_other_bytes", "a<=b!=c==d", {0, 0, 4, 10}, {0, 0, 4, 10}},
    {"nul_ends_identifier_and_blank_run", "ab\0cd \0 \0"s, {0, 0, 2, 7}, {0, 0, 2, 7}},
    {"high_bytes_are_other_bytes", "\xc3\xa9t\xc3\xa9 \xff\x80reg", {1, 0, 2, 10}, {1, 0, 2, 10}},
    {"blank_lines_and_only_blanks", "\n\n \t \n", {0, 3, 0, 3}, {0, 3, 0, 3}},
    {"ctrl_z_ends_input_only_in_text_mode", "module a;\x1amodule b;\n", {2, 1, 4, 18}, {1, 0, 2, 8}},
};

static void PrintTo(const CountCase& c, std::ostream* os) { *os << c.name; }

class CountTest : public testing::TestWithParam<CountCase> {};

// Where the program's counts start: 0 for vwc, 2^32 - 1 for vwc_past_2e32
// (--counts-from), whose words figure then starts at twice that.
static long long counts_from = 0;

TEST_P(CountTest, PrintsReport)
{
    const CountCase& c = GetParam();
    Counts counts = windows ? c.text_mode : c.posix;
    counts.keywords += counts_from;
    counts.lines += counts_from;
    counts.words += 2 * counts_from;
    counts.chars += counts_from;
    expect_report(run_vwc(c.input), counts);
}

INSTANTIATE_TEST_SUITE_P(Inputs, CountTest, testing::ValuesIn(count_cases),
                         [](const testing::TestParamInfo<CountCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Tokens across the marks where reads and the buffer end, and tokens longer
// than the buffer.  The filler is newlines, so each counts a line and a char.
struct LongCase {
    const char* name;
    size_t offset;  // where the token starts
    std::string head;
    size_t tail_length;  // tail bytes '$' after the head, made when the case runs
    bool keyword;
};

static const LongCase long_cases[] = {
    {"keyword_across_first_read", 8192 - 4, "endmodule", 0, true},
    {"keyword_ending_at_first_read", 8192 - 9, "endmodule", 0, true},
    {"identifier_starting_at_first_read", 8192, "endmodulex", 0, false},
    {"keyword_across_buffer_end", 16384 - 3, "posedge", 0, true},
    {"identifier_across_buffer_end", 16384 - 1, "reg8", 0, false},
    {"identifier_longer_than_buffer", 10, "q", 16384, false},
    {"keyword_start_of_long_identifier", 100, "module", 40000, false},
    {"identifier_of_several_mebibytes", 3, "x", 6 << 20, false},
};

static void PrintTo(const LongCase& c, std::ostream* os) { *os << c.name; }

class LongTokenTest : public testing::TestWithParam<LongCase> {};

TEST_P(LongTokenTest, CountsOneToken)
{
    const LongCase& c = GetParam();
    std::string input = std::string(c.offset, '\n') + c.head + std::string(c.tail_length, '$') + "\n";
    long long lines = (long long)c.offset + 1;
    long long chars = (long long)input.size();
    expect_report(run_vwc(input), {c.keyword ? 1 : 0, lines, 1, chars});
}

INSTANTIATE_TEST_SUITE_P(Marks, LongTokenTest, testing::ValuesIn(long_cases),
                         [](const testing::TestParamInfo<LongCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
struct ArgsCase {
    const char* name;
    std::vector<std::string> args;
};

static const ArgsCase args_cases[] = {
    {"file_name", {"no_such_file.v"}},
    {"options", {"-h", "--help", "-l"}},
    {"empty_and_dash", {"", "-"}},
};

static void PrintTo(const ArgsCase& c, std::ostream* os) { *os << c.name; }

class ArgsTest : public testing::TestWithParam<ArgsCase> {};

static const std::string arguments_ignored =
    "vwc: arguments are ignored; vwc counts standard input only: vwc < file.v";

// The report is as without them; standard error says why, before vwc reads,
// so that at a terminal it explains the wait.
TEST_P(ArgsTest, AreIgnoredWithAWord)
{
    Launch setup;
    setup.args = GetParam().args;
    setup.input_after_error_line = true;
    Outcome outcome = run_vwc(three_line_module, setup);
    EXPECT_EQ(outcome.out, report({9, 3, 15, 76}));
    EXPECT_EQ(outcome.err_before_input, arguments_ignored + eol());
    EXPECT_EQ(outcome.err, arguments_ignored + eol());
    EXPECT_EQ(outcome.status, 0);
}

INSTANTIATE_TEST_SUITE_P(CommandLine, ArgsTest, testing::ValuesIn(args_cases),
                         [](const testing::TestParamInfo<ArgsCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Each thing vwc writes is one write, whatever the C library would do by
// itself: so reports of vwcs run in parallel into one pipe never mix.
struct WriteCase {
    const char* name;
    std::string input;
    Launch setup;
    size_t out_writes, err_writes;
};

static Launch counting(Stdin in, std::vector<std::string> args = {})
{
    Launch setup;
    setup.in = in;
    setup.args = std::move(args);
    setup.count_writes = true;
    return setup;
}

static const WriteCase write_cases[] = {
    {"report_of_empty_input", "", counting(Stdin::pipe), 1, 0},
    {"report_of_three_lines", three_line_module, counting(Stdin::pipe), 1, 0},
    {"report_of_a_million_lines", std::string(1 << 20, '\n'), counting(Stdin::pipe), 1, 0},
    {"argument_warning_then_report", three_line_module, counting(Stdin::pipe, {"a.v", "b.v"}), 1, 1},
    {"read_failure", "", counting(Stdin::directory), 0, 1},
};

static void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class WriteTest : public testing::TestWithParam<WriteCase> {};

TEST_P(WriteTest, OneWriteEach)
{
    const WriteCase& c = GetParam();
    Outcome outcome = run_vwc(c.input, c.setup);
    EXPECT_EQ(outcome.out_writes.size(), c.out_writes) << outcome.out;
    EXPECT_EQ(outcome.err_writes.size(), c.err_writes) << outcome.err;
    EXPECT_FALSE(outcome.out.empty() && c.out_writes > 0);
}

INSTANTIATE_TEST_SUITE_P(Writes, WriteTest, testing::ValuesIn(write_cases),
                         [](const testing::TestParamInfo<WriteCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
TEST(Terminal, ScansTypedLinesUntilEndOfInput)
{
    // Two typed lines, then a last line with no newline, pushed and ended by
    // the platform's end-of-input keys: Ctrl-D twice, or Ctrl-Z and Enter at
    // the Windows console (Wine's console host reads the keys itself).
    Outcome outcome = windows ? run_vwc_on_terminal({"module top;\r", "  reg q;\r", "endmodule", "\x1a\r"}, true)
                              : run_vwc_on_terminal({"module top;\n", "  reg q;\n", "endmodule", "\x04", "\x04"});
    expect_report(outcome, {3, 2, 5, 26});
}

// ---------------------------------------------------------------------------
// Gigabytes through a pipe, one row at a time: --huge=ROW registers that row
// alone, and it is all that runs.  CMake registers the rows as CTest tests
// only where asked to (VWC_HUGE_TESTS), and the token rows only for programs
// whose address space holds the engine's largest buffer and that run at
// full speed.

// The engine's buffer grows by doubling up to 1 GiB and no further, and a
// token must leave two bytes of it free.
static const long long largest_token = (1ll << 30) - 2;

// length copies of byte, sent a mebibyte at a time.
static Input run_of(char byte, long long length)
{
    return {{std::string(1 << 20, byte), (unsigned long long)length >> 20}, {std::string(length & ((1 << 20) - 1), byte)}};
}

static Input operator+(Input a, const Input& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct HugeCase {
    std::string name;
    Input input;
    Counts counts;
    std::string message;  // the failure expected instead of a report, if any
};

static std::vector<HugeCase> huge_cases()
{
    std::string block;
    for (int i = 0; i < 100000; ++i)
        block += "module abc;\n";
    const std::string overflow = "fatal error - scanner input buffer overflow";
    return {
        {"counts_past_the_largest_32bit_value", {{block, 2000}}, {200000000, 200000000, 400000000, 2200000000}, ""},
        {"largest_token_is_counted", Input{{"x"}} + run_of('_', largest_token - 1) + Input{{"\n"}},
         {0, 1, 1, largest_token + 1}, ""},
        {"token_past_the_limit_is_refused", Input{{"x"}} + run_of('_', largest_token) + Input{{"\n"}}, {}, overflow},
        {"blank_run_past_the_limit_is_refused", run_of(' ', 1100ull << 20) + Input{{"x\n"}}, {}, overflow},
    };
}

class HugeTest : public testing::Test {
public:
    explicit HugeTest(HugeCase c) : c(std::move(c)) {}
    void TestBody() override
    {
        Outcome outcome = run_vwc(c.input);
        if (c.message.empty())
            expect_report(outcome, c.counts);
        else
            expect_failure(outcome, c.message);
    }

private:
    HugeCase c;
};

static void register_huge_row(const std::string& name)
{
    for (HugeCase& c : huge_cases())
        if (c.name == name)
            testing::RegisterTest("Huge", c.name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                                  [c]() -> testing::Test* { return new HugeTest(c); });
}

// ---------------------------------------------------------------------------
struct FailureCase {
    const char* name;
    std::string input;
    size_t letters;  // letters appended to the input, made when the case runs
    Launch setup;
    std::string message;
};

static Launch launch(Stdin in, Stdout out = Stdout::pipe, unsigned long address_space_limit = 0)
{
    Launch setup;
    setup.in = in;
    setup.out = out;
    setup.address_space_limit = address_space_limit;
    return setup;
}

static std::vector<FailureCase> failure_cases()
{
    return {
        {"stdin_is_a_directory", "", 0, launch(Stdin::directory), "input in flex scanner failed"},
        // Nothing to read yet, and told not to wait: the read fails (EAGAIN).
        {"stdin_is_nonblocking_and_empty", "", 0, launch(Stdin::nonblocking_empty), "input in flex scanner failed"},
        {"token_too_large_for_memory", "", 80 << 20, launch(Stdin::pipe, Stdout::pipe, 64ul << 20),
         "fatal error - scanner input buffer overflow"},
        {"stdout_is_full", three_line_module, 0, launch(Stdin::pipe, Stdout::full_device),
         "write error: "s + std::strerror(ENOSPC)},
        {"stdout_is_closed", three_line_module, 0, launch(Stdin::pipe, Stdout::closed),
         "write error: "s + std::strerror(EBADF)},
        {"stdout_is_full_after_empty_input", "", 0, launch(Stdin::pipe, Stdout::full_device),
         "write error: "s + std::strerror(ENOSPC)},
    };
}

static void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class FailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(FailureTest, OneLineAndStatusTwo)
{
    const FailureCase& c = GetParam();
    if (windows && c.setup.address_space_limit)
        GTEST_SKIP() << "Wine does not start under an address-space limit";
    if (windows && c.setup.in == Stdin::nonblocking_empty)
        GTEST_SKIP() << "Windows reads have no non-blocking mode for this: Wine waits for input";
    expect_failure(run_vwc(c.input + std::string(c.letters, 'a'), c.setup), c.message);
}

INSTANTIATE_TEST_SUITE_P(Failures, FailureTest, testing::ValuesIn(failure_cases()),
                         [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Usage: vwc_e2e [gtest flags] --platform=posix|windows [--memory-limit=rlimit|sanitizer|qemu]
//                [--counts-from=N | --huge=ROW] PROGRAM [ARGS...]
// --counts-from: the program's counts start at N (vwc_past_2e32); only the
// count table runs.  --huge: only that gigabyte row runs.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    bool usable = true;
    std::string huge_row;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (!command_under_test.empty())
            command_under_test.push_back(arg);
        else if (arg == "--platform=posix" || arg == "--platform=windows")
            windows = arg == "--platform=windows";
        else if (arg == "--memory-limit=rlimit")
            memory_limit = MemoryLimit::rlimit;
        else if (arg == "--memory-limit=sanitizer")
            memory_limit = MemoryLimit::sanitizer;
        else if (arg == "--memory-limit=qemu")
            memory_limit = MemoryLimit::qemu;
        else if (arg.rfind("--counts-from=", 0) == 0)
            counts_from = std::atoll(arg.c_str() + 14);
        else if (arg.rfind("--huge=", 0) == 0)
            huge_row = arg.substr(7);
        else if (arg.rfind("--", 0) == 0)
            usable = false;
        else
            command_under_test.push_back(arg);
    }
    if (!usable || (command_under_test.empty() && !testing::GTEST_FLAG(list_tests))) {
        std::fprintf(stderr,
                     "usage: %s --platform=posix|windows [--memory-limit=rlimit|sanitizer|qemu] "
                     "[--counts-from=N | --huge=ROW] PROGRAM [ARGS...]\n",
                     argv[0]);
        return 2;
    }
    if (counts_from != 0)
        testing::GTEST_FLAG(filter) = "Inputs/CountTest.*";
    if (!huge_row.empty()) {
        register_huge_row(huge_row);
        testing::GTEST_FLAG(filter) = "Huge.*";
    }
    int status = RUN_ALL_TESTS();
    // A row that is misnamed, or a table that is gone, must not pass.
    if (testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
        std::fprintf(stderr, "%s: no test ran\n", argv[0]);
        return 1;
    }
    return status;
}
