#include "db/Tsignalwatch.h"

#include "db/Tdbmanager.h"

#include <fcntl.h>
#include <ibase.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
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

TSignalWatch::TSignalWatch(TNotifier aNotifier) : notifier(std::move(aNotifier))
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
    caught = 0;
}

int TSignalWatch::Caught() { return caught.load(); }

void TSignalWatch::StopIfCaught()
{
    if (Caught())
        throw InterruptedError();
}

void TSignalWatch::Watch()
{
    for (;;) {
        char byte = 0;
        const ssize_t got = read(pipeEnds[0], &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || byte == 0)
            return;
        TDBManager::GetInstance().Cancel();
        if (notifier)
            notifier(byte);
    }
}
