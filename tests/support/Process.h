#pragma once
// Child processes for the tests and the benchmark: a program started with its
// arguments, its standard input from /dev/null and its output into files that
// are read back when it ends.
//
//   TProcess cli({"norvane-cli", "-d", location}, {folder / "out", folder / "err", {"LC_ALL=C"}});
//   ... cli.Signal(SIGINT);
//   const TProcessResult done = cli.Wait();
//   EXPECT_FALSE(done.Succeeded()) << done.errors;
//
// A TProcess that goes out of scope with its child still running kills the
// child (SIGKILL) and reaps it, so a failed assertion leaves no process behind.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace NorvaneTest {

// Where a child's output goes, and what it starts with.
struct TProcessOptions {
    // Standard output; the file is made anew.
    std::filesystem::path output;
    // Standard error; empty: merged into the output file.
    std::filesystem::path errors = {};
    // NAME=value pairs added to this process's environment for the child, or
    // replacing a variable of the same name ("ISC_USER=" sets it empty).
    std::vector<std::string> environment = {};
    // Standard error stays this process's own (errors is then not used).
    bool inheritErrors = false;
    // Leave the output files where they are after reading them back.
    bool keepFiles = false;
};

// How a child ended and what it wrote.
struct TProcessResult {
    int status = 0;  // as wait4 gives it
    std::string output;  // standard output, with standard error when merged
    std::string errors;  // standard error when it went to a file of its own
    long maxRssKiB = 0;  // the child's peak resident memory

    bool Exited() const;
    // The exit status, or -1 when a signal ended the child.
    int ExitStatus() const;
    // The signal that ended the child, or 0 when it exited.
    int TermSignal() const;
    // Exited with status 0.
    bool Succeeded() const;
};

class TProcess {
public:
    // Starts args[0], looked up in PATH as a shell would, with its signals'
    // default handling and no signal blocked. Throws std::runtime_error when
    // it cannot be started.
    TProcess(std::vector<std::string> args, TProcessOptions options);
    ~TProcess();
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;

    pid_t Pid() const { return pid; }
    // Sends the signal to a child not yet reaped; throws std::logic_error
    // after Wait (the number may belong to another process by then).
    void Signal(int signal);
    // Whether the child still runs; never waits. A child found ended is
    // reaped, and Wait returns at once.
    bool Running();
    // Waits for the child to end and reads its output back (removing the
    // files unless they are kept). Throws std::logic_error when called twice.
    TProcessResult Wait();

private:
    bool Reap(bool block);
    void RemoveFiles() noexcept;

    std::string program;
    TProcessOptions options;
    pid_t pid = 0;
    bool reaped = false;
    bool waited = false;
    int status = 0;
    long maxRssKiB = 0;
};

// Starts the program and waits for it.
TProcessResult RunProcess(std::vector<std::string> args, TProcessOptions options);

}  // namespace NorvaneTest
