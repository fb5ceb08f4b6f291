#include "db/Tsignalwatch.h"

#include "db/Tdbmanager.h"
#include "db/Tservercall.h"

#include <fcntl.h>
#include <ibase.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <optional>
#include <string>
#include <system_error>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};

// Signal handlers reach the watch through these alone. The handler may stay
// in the library's chain of handlers after the watch is gone (the library
// keeps the handler it found when it installed its own), so it checks that a
// watch is there.
std::atomic<int> writeEnd{-1};
std::atomic<int> caught{0};
std::atomic<int> timedOut{0};
struct sigaction earlier[2];

void OnSignal(int signal)
{
    const int savedErrno = errno;
    const int fd = writeEnd.load();
    if (fd >= 0) {
        int expected = 0;
        caught.compare_exchange_strong(expected, signal);
        const char byte = static_cast<char>(signal);
        // A full pipe already holds a signal the watcher has yet to see.
        [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
    }
    errno = savedErrno;
}

// The library asks before it shuts down on a signal; the watch says no.
int RefuseSignalShutdown(const int reason, const int, void*)
{
    return reason == fb_shutrsn_signal && writeEnd.load() >= 0 ? 1 : 0;
}

}  // namespace

TSignalWatch::TSignalWatch(TNotifier aNotifier, TNotifier aOnStuck, int aTimeoutSeconds)
    : notifier(std::move(aNotifier)), onStuck(std::move(aOnStuck)), timeoutSeconds(aTimeoutSeconds)
{
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot watch for signals");
    fcntl(pipeEnds[1], F_SETFL, O_NONBLOCK);
    // The callback stays with the library for the life of the process; it
    // refuses only while a watch is there.
    static const bool registered = [] {
        ISC_STATUS_ARRAY status;
        return fb_shutdown_callback(status, RefuseSignalShutdown, fb_shut_confirmation, nullptr) == 0;
    }();
    (void)registered;
    caught = 0;
    timedOut = 0;
    // The library gives up waiting for a server's first answer by itself,
    // two seconds after the watch has found the call overdue (when a cancel
    // can still do nothing: the connection has no handle yet): its failure
    // then reads as the timeout it is, not as a connection the server
    // rejected.
    if (timeoutSeconds > 0)
        TDBManager::GetInstance().SetConnectTimeout(timeoutSeconds + 2);
    writeEnd = pipeEnds[1];
    watcher = std::thread([this] { Watch(); });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i)
        sigaction(kSignals[i], &action, &earlier[i]);
}

TSignalWatch::~TSignalWatch()
{
    // The library may have put its own handler in front of ours since; that
    // one stays, and ours, still in its chain, does nothing from here on.
    for (int i = 0; i < 2; ++i) {
        struct sigaction current = {};
        sigaction(kSignals[i], nullptr, &current);
        if (current.sa_handler == OnSignal)
            sigaction(kSignals[i], &earlier[i], nullptr);
    }
    writeEnd = -1;
    const char stop = 0;
    [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &stop, 1);
    watcher.join();
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    if (timeoutSeconds > 0)
        TDBManager::GetInstance().SetConnectTimeout(0);
    caught = 0;
    timedOut = 0;
}

int TSignalWatch::Caught() { return caught.load(); }

int TSignalWatch::TimedOut() { return timedOut.load(); }

void TSignalWatch::StopIfCaught()
{
    if (Caught() || TimedOut())
        throw InterruptedError();
}

void TSignalWatch::Watch()
{
    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;
    // While a timeout is set and no call runs, and between the closing of
    // the connection and kStuckAfter, the watch looks again this often for a
    // call that has begun.
    constexpr milliseconds kLookAgain{250};
    const milliseconds timeout{1000LL * timeoutSeconds};
    std::optional<Clock::time_point> stopped;  // when a signal or a timeout stopped the run
    int stoppedBy = 0;
    bool abortDone = false;
    bool stuckDone = false;
    auto stop = [&](int signal) {
        // Only a call under way: a cancel with none would be left pending on
        // the connection and fail its roll-back and its detach. A call begun
        // just after this look is ended with the connection below.
        if (TServerCall::RunningFor() >= 0)
            TDBManager::GetInstance().Cancel();
        if (!stopped) {
            stopped = Clock::now();
            stoppedBy = signal;
        }
    };
    for (;;) {
        int wait = -1;
        if (stopped && !stuckDone) {
            const Clock::time_point now = Clock::now();
            const Clock::time_point next =
                abortDone ? std::min(*stopped + kStuckAfter, now + kLookAgain) : *stopped + kAbortAfter;
            wait = static_cast<int>(std::max<long long>(0, std::chrono::duration_cast<milliseconds>(next - now).count()));
        } else if (!stopped && timeout.count() > 0) {
            const long long running = TServerCall::RunningFor();
            wait = static_cast<int>(running < 0 ? kLookAgain.count() : std::max(0LL, timeout.count() - running));
        }
        pollfd pipe{pipeEnds[0], POLLIN, 0};
        const int ready = poll(&pipe, 1, wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready > 0) {
            char byte = 0;
            const ssize_t got = read(pipeEnds[0], &byte, 1);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0 || byte == 0)
                return;
            stop(byte);
            if (notifier)
                notifier(byte);
            continue;
        }
        if (!stopped) {
            if (timeout.count() > 0 && TServerCall::RunningFor() >= timeout.count()) {
                timedOut = timeoutSeconds;
                stop(0);
            }
            continue;
        }
        const Clock::duration since = Clock::now() - *stopped;
        if (since >= kAbortAfter) {
            abortDone = true;
            // The cancel has not landed (the call still waits for a server
            // that does not answer), or a call began after it: the roll-back
            // of the run given up, say, on the same silent network.
            if (TServerCall::RunningFor() >= 0)
                TDBManager::GetInstance().Abort();
        }
        if (abortDone && !stuckDone && since >= kStuckAfter) {
            stuckDone = true;
            if (onStuck)
                onStuck(stoppedBy);
        }
    }
}
