// Runs the command under test as a child process and collects what it did.
#ifndef VWC_RUN_VWC_H
#define VWC_RUN_VWC_H

#include <string>
#include <vector>

struct Outcome {
    std::string out;
    std::string err;
    int status;  // exit status, or 128 + signal number
    // With Launch::count_writes, the length of each write, in order.
    std::vector<size_t> out_writes, err_writes;
    // With Launch::input_after_error_line, what standard error held when the
    // input began.
    std::string err_before_input;
};

// nonblocking_empty: a pipe that is left open and empty, with O_NONBLOCK set,
// as another program sharing standard input may leave it.
enum class Stdin { pipe, directory, nonblocking_empty };
enum class Stdout { pipe, full_device, closed };

struct Launch {
    Stdin in = Stdin::pipe;
    Stdout out = Stdout::pipe;
    unsigned long address_space_limit = 0;  // bytes; 0 leaves it alone
    std::vector<std::string> args;
    // Standard output and error are sockets that keep each write apart.
    bool count_writes = false;
    // No input is sent until standard error holds a whole line, or 30 s have
    // passed: the program must write it before it reads.
    bool input_after_error_line = false;
};

// Input sent as pieces in order, each as many times as it says: gigabytes
// of input without holding them in memory.
struct Piece {
    std::string bytes;
    unsigned long long copies = 1;
};
using Input = std::vector<Piece>;

// The program and its leading arguments, set once from the test's command line.
extern std::vector<std::string> command_under_test;

// How a Launch's address-space limit reaches the program.  A program built
// with AddressSanitizer reserves more address space than any useful limit, and
// qemu-user maps its code cache beside the guest: in both the limit goes to
// the program's own memory instead, through the sanitizer's allocator or the
// emulator's reserved guest space.
enum class MemoryLimit { rlimit, sanitizer, qemu };
extern MemoryLimit memory_limit;

Outcome run_vwc(const Input& input, const Launch& setup = Launch());
Outcome run_vwc(const std::string& input, const Launch& setup = Launch());

// Types each chunk into a pseudo-terminal on the child's standard input,
// pausing between chunks as a person would.  With wait_for_raw_input, typing
// starts only once the program has switched the terminal out of line mode, as
// Wine's console host does to read keys itself.
Outcome run_vwc_on_terminal(const std::vector<std::string>& chunks, bool wait_for_raw_input = false);

#endif
