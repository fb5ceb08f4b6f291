#include "Process.h"

#include "Fixtures.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace fs = std::filesystem;

namespace NorvaneTest {

namespace {

// This process's environment with the pairs added, a pair replacing the
// variable of its name.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& pairs)
{
    auto name = [](const std::string& pair) { return pair.substr(0, pair.find('=')); };
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string inherited = *entry;
        bool replaced = false;
        for (const std::string& pair : pairs)
            replaced = replaced || name(pair) == name(inherited);
        if (!replaced)
            environment.push_back(inherited);
    }
    environment.insert(environment.end(), pairs.begin(), pairs.end());
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// posix_spawn's file actions and attributes, destroyed on every way out.
struct TSpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    TSpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~TSpawnSetup()
    {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    TSpawnSetup(const TSpawnSetup&) = delete;
    TSpawnSetup& operator=(const TSpawnSetup&) = delete;
};

}  // namespace

bool TProcessResult::Exited() const { return WIFEXITED(status); }
int TProcessResult::ExitStatus() const { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
int TProcessResult::TermSignal() const { return WIFSIGNALED(status) ? WTERMSIG(status) : 0; }
bool TProcessResult::Succeeded() const { return ExitStatus() == 0; }

TProcess::TProcess(std::vector<std::string> args, TProcessOptions aOptions) : options(std::move(aOptions))
{
    if (args.empty())
        throw std::invalid_argument("no program to start");
    program = args[0];
    std::vector<char*> argv = Pointers(args);
    std::vector<std::string> environment = ChildEnvironment(options.environment);
    std::vector<char*> envp = Pointers(environment);

    TSpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, 1, options.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (options.inheritErrors)
        options.errors.clear();
    else if (options.errors.empty())
        posix_spawn_file_actions_adddup2(&setup.actions, 1, 2);
    else
        posix_spawn_file_actions_addopen(&setup.actions, 2, options.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // A test runner may block or ignore signals; the child must meet SIGINT
    // and the others as a user's shell would give them to it.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int signal : {SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGHUP})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    // PATH is looked up in this process's environment, not the child's.
    const int spawned = posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), envp.data());
    if (spawned != 0) {
        RemoveFiles();
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(spawned));
    }
}

TProcess::~TProcess()
{
    if (!reaped) {
        ::kill(pid, SIGKILL);
        Reap(true);
    }
    if (!waited)
        RemoveFiles();
}

void TProcess::Signal(int signal)
{
    if (reaped)
        throw std::logic_error(program + " has ended and been reaped: no signal can reach it");
    if (::kill(pid, signal) != 0)
        throw std::runtime_error("cannot signal " + program + ": " + std::strerror(errno));
}

bool TProcess::Running() { return !reaped && !Reap(false); }

TProcessResult TProcess::Wait()
{
    if (waited)
        throw std::logic_error("already waited for " + program);
    if (!reaped && !Reap(true))
        throw std::runtime_error("cannot wait for " + program + ": " + std::strerror(errno));
    waited = true;
    TProcessResult result;
    result.status = status;
    result.maxRssKiB = maxRssKiB;
    try {
        result.output = ReadFile(options.output);
        if (!options.errors.empty())
            result.errors = ReadFile(options.errors);
    } catch (...) {
        RemoveFiles();
        throw;
    }
    RemoveFiles();
    return result;
}

// Reaps the child when it has ended (or, when blocking, once it ends);
// false when it still runs or cannot be waited for.
bool TProcess::Reap(bool block)
{
    rusage usage{};
    for (;;) {
        const pid_t ended = ::wait4(pid, &status, block ? 0 : WNOHANG, &usage);
        if (ended == pid)
            break;
        if (ended == 0 || errno != EINTR)
            return false;
    }
    reaped = true;
    maxRssKiB = usage.ru_maxrss;  // Linux counts it in KiB
    return true;
}

void TProcess::RemoveFiles() noexcept
{
    if (options.keepFiles)
        return;
    std::error_code ignored;
    fs::remove(options.output, ignored);
    if (!options.errors.empty())
        fs::remove(options.errors, ignored);
}

TProcessResult RunProcess(std::vector<std::string> args, TProcessOptions options)
{
    return TProcess(std::move(args), std::move(options)).Wait();
}

}  // namespace NorvaneTest
