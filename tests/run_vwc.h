// Runs the command under test as a child process and collects what it did.
#ifndef VWC_RUN_VWC_H
#define VWC_RUN_VWC_H

#include <string>
#include <vector>

struct Outcome {
    std::string out;
    std::string err;
    int status;  // exit status, or 128 + signal number
};

enum class Stdin { pipe, directory };
enum class Stdout { pipe, full_device, closed };

struct Launch {
    Stdin in = Stdin::pipe;
    Stdout out = Stdout::pipe;
    unsigned long address_space_limit = 0;  // bytes; 0 leaves it alone
    unsigned long long repeat = 1;          // copies of the input to send
    std::vector<std::string> args;
};

// The program and its leading arguments, set once from the test's command line.
extern std::vector<std::string> command_under_test;
// The program is built with AddressSanitizer, which reserves more address
// space than any useful limit: its allocator is limited instead.
extern bool command_is_sanitized;

Outcome run_vwc(const std::string& input, const Launch& setup = Launch());

// Types each chunk into a pseudo-terminal on the child's standard input,
// pausing between chunks as a person would.
Outcome run_vwc_on_terminal(const std::vector<std::string>& chunks);

#endif
