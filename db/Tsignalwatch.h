#pragma once
// Ctrl+C (SIGINT) and SIGTERM in a program that reads through the database
// manager.
//
// Once a database has been attached, the Firebird client library answers
// either signal by shutting every connection of the process down: a run cut
// short that way failed as if the database had gone away, and the program
// itself did not end. While a TSignalWatch lives, the program decides
// instead: the library's shutdown is refused, the database call running is
// cancelled (TDBManager::Cancel), and the notifier is called with the
// signal's number, on a thread of the watch's own. Whatever fails after that
// fails because of the signal (Caught).
//
// One watch at a time, made before the first database is attached (made
// later, it works the same).
#include "app/core/Exception.h"

#include <functional>
#include <thread>

// A run given up because the program was told to end.
class InterruptedError : public Exception {
public:
    InterruptedError() : Exception("Interrupted") {}
};

class TSignalWatch {
public:
    using TNotifier = std::function<void(int signal)>;
    explicit TSignalWatch(TNotifier notifier);
    // The signals go back to what they did before.
    ~TSignalWatch();
    TSignalWatch(const TSignalWatch&) = delete;
    TSignalWatch& operator=(const TSignalWatch&) = delete;

    // The first signal the watch caught, 0 while none has come.
    static int Caught();
    // Throws InterruptedError once a signal has been caught: the check a long
    // run makes between its steps.
    static void StopIfCaught();

private:
    void Watch();

    TNotifier notifier;
    int pipeEnds[2] = {-1, -1};
    std::thread watcher;
};
