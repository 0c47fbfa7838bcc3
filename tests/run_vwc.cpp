#include "run_vwc.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

std::vector<std::string> command_under_test;
MemoryLimit memory_limit = MemoryLimit::rlimit;

static void fail(const char* what)
{
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

static void make_pipe(int fds[2])
{
    if (pipe2(fds, O_CLOEXEC) != 0)
        fail("pipe");
}

// In the child, once its streams are set up.  The test process has a single
// thread, so the child may still allocate.
[[noreturn]] static void exec_command(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& word : command_under_test)
        argv.push_back(const_cast<char*>(word.c_str()));
    for (const std::string& word : args)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

// Feeds input to to_child (if open) while draining the child's two outputs,
// then reaps the child.  With setup.count_writes the outputs are packet
// sockets, so each read takes one write.
static Outcome finish(pid_t pid, int to_child, const Input& input, int from_out, int from_err,
                      const Launch& setup = Launch())
{
    Outcome outcome{};
    bool input_held = setup.input_after_error_line;
    const int hold_ms = 30 * 1000;
    int held_ms = 0;
    // The next byte to send: in input[piece], after `copies` whole copies of
    // it and `written` bytes of the next.
    size_t piece = 0, written = 0;
    unsigned long long copies = 0;
    auto skip_sent = [&] {
        for (; piece < input.size(); ++piece, copies = 0, written = 0) {
            if (written > 0 && written == input[piece].bytes.size()) {
                ++copies;
                written = 0;
            }
            if (copies < input[piece].copies && !input[piece].bytes.empty())
                return;
        }
    };
    skip_sent();
    while (from_out >= 0 || from_err >= 0 || to_child >= 0) {
        if (input_held && (outcome.err.find('\n') != std::string::npos || from_err < 0 || held_ms >= hold_ms)) {
            input_held = false;
            outcome.err_before_input = outcome.err;
        }
        if (to_child >= 0 && !input_held && piece == input.size()) {
            close(to_child);
            to_child = -1;
        }
        pollfd fds[3] = {{from_out, POLLIN, 0}, {from_err, POLLIN, 0}, {input_held ? -1 : to_child, POLLOUT, 0}};
        int ready = poll(fds, 3, input_held ? 100 : -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            fail("poll");
        }
        if (ready == 0)
            held_ms += 100;
        if (fds[2].revents) {
            const std::string& bytes = input[piece].bytes;
            ssize_t n = write(to_child, bytes.data() + written, bytes.size() - written);
            if (n > 0) {
                written += size_t(n);
                skip_sent();
            }
            if (n < 0 || piece == input.size()) {  // the child stopped reading, or all is sent
                close(to_child);
                to_child = -1;
            }
        }
        int* sources[2] = {&from_out, &from_err};
        std::string* sinks[2] = {&outcome.out, &outcome.err};
        std::vector<size_t>* writes[2] = {&outcome.out_writes, &outcome.err_writes};
        for (int i = 0; i < 2; ++i) {
            if (!fds[i].revents)
                continue;
            char block[65536];
            ssize_t n = read(*sources[i], block, sizeof block);
            if (n > 0) {
                sinks[i]->append(block, size_t(n));
                if (setup.count_writes)
                    writes[i]->push_back(size_t(n));
            } else if (n == 0 || errno != EINTR) {
                close(*sources[i]);
                *sources[i] = -1;
            }
        }
    }
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0)
        if (errno != EINTR)
            fail("waitpid");
    outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    return outcome;
}

// The sanitizer's allocator warns when it refuses the allocation that the
// limit was set for; the program's own message follows.
static void drop_allocation_warnings(std::string& err)
{
    const std::string warning = "==WARNING: AddressSanitizer failed to allocate";
    size_t at;
    while ((at = err.find(warning)) != std::string::npos) {
        size_t start = err.rfind('\n', at);
        start = start == std::string::npos ? 0 : start + 1;
        size_t end = err.find('\n', at);
        err.erase(start, end == std::string::npos ? std::string::npos : end + 1 - start);
    }
}

// In the child, before it becomes the program.
static void limit_address_space(unsigned long bytes)
{
    switch (memory_limit) {
    case MemoryLimit::sanitizer: {
        std::string options = "allocator_may_return_null=1:max_allocation_size_mb=" + std::to_string(bytes >> 20);
        setenv("ASAN_OPTIONS", options.c_str(), 1);
        break;
    }
    case MemoryLimit::qemu:
        setenv("QEMU_RESERVED_VA", std::to_string(bytes).c_str(), 1);
        break;
    case MemoryLimit::rlimit: {
        rlimit limit{bytes, bytes};
        setrlimit(RLIMIT_AS, &limit);
        break;
    }
    }
}

// Makes the pipes, or with packets the sockets, that will carry the child's
// standard output and error, then forks.
static pid_t fork_with_output_pipes(int out[2], int err[2], bool packets = false)
{
    if (packets) {
        if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, out) != 0 ||
            socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, err) != 0)
            fail("socketpair");
        // Each side only reads or only writes.
        shutdown(out[0], SHUT_WR);
        shutdown(err[0], SHUT_WR);
    } else {
        make_pipe(out);
        make_pipe(err);
    }
    pid_t pid = fork();
    if (pid < 0)
        fail("fork");
    return pid;
}

Outcome run_vwc(const std::string& input, const Launch& setup)
{
    return run_vwc(Input{{input}}, setup);
}

Outcome run_vwc(const Input& input, const Launch& setup)
{
    std::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    make_pipe(in);
    if (setup.in == Stdin::nonblocking_empty && fcntl(in[0], F_SETFL, O_NONBLOCK) != 0)
        fail("fcntl");
    pid_t pid = fork_with_output_pipes(out, err, setup.count_writes);
    if (pid == 0) {
        dup2(setup.in == Stdin::directory ? open(".", O_RDONLY | O_DIRECTORY) : in[0], 0);
        if (setup.out == Stdout::closed)
            close(1);
        else
            dup2(setup.out == Stdout::full_device ? open("/dev/full", O_WRONLY) : out[1], 1);
        dup2(err[1], 2);
        if (setup.address_space_limit)
            limit_address_space(setup.address_space_limit);
        exec_command(setup.args);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    // An empty pipe left open sends nothing; a directory needs no pipe.
    int to_child = in[1], held_open = -1;
    if (setup.in == Stdin::nonblocking_empty)
        std::swap(to_child, held_open);
    else if (setup.in != Stdin::pipe) {
        close(to_child);
        to_child = -1;
    }
    Outcome outcome = finish(pid, to_child, input, out[0], err[0], setup);
    if (held_open >= 0)
        close(held_open);
    if (setup.address_space_limit && memory_limit == MemoryLimit::sanitizer)
        drop_allocation_warnings(outcome.err);
    return outcome;
}

// Waits up to 30 s for the terminal behind master to leave line mode.
static bool wait_for_raw_terminal(int master)
{
    for (int tries = 0; tries < 3000; ++tries) {
        termios modes{};
        if (tcgetattr(master, &modes) == 0 && !(modes.c_lflag & ICANON))
            return true;
        usleep(10 * 1000);
    }
    return false;
}

Outcome run_vwc_on_terminal(const std::vector<std::string>& chunks, bool wait_for_raw_input)
{
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        fail("posix_openpt");
    std::string terminal = ptsname(master);
    int slave = open(terminal.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        fail("open terminal");
    termios modes{};
    tcgetattr(slave, &modes);
    modes.c_lflag &= ~tcflag_t(ECHO);  // nobody reads the echo
    // Ctrl-Z is data here, the end of input on Windows, not a request to stop
    // the program: Wine leaves the terminal's signal keys on.
    modes.c_cc[VSUSP] = _POSIX_VDISABLE;
    tcsetattr(slave, TCSANOW, &modes);

    int out[2], err[2];
    pid_t pid = fork_with_output_pipes(out, err);
    if (pid == 0) {
        setsid();
        int tty = open(terminal.c_str(), O_RDWR);  // becomes the controlling terminal
        dup2(tty, 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        exec_command({});
    }
    close(slave);
    close(out[1]);
    close(err[1]);
    if (wait_for_raw_input && !wait_for_raw_terminal(master))
        kill(pid, SIGKILL);  // the test sees the signal in the status
    for (const std::string& chunk : chunks) {
        usleep(100 * 1000);
        if (write(master, chunk.data(), chunk.size()) != ssize_t(chunk.size()))
            fail("write terminal");
    }
    Outcome outcome = finish(pid, -1, Input(), out[0], err[0]);
    close(master);
    return outcome;
}
