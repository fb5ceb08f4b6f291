#pragma once
// Ctrl+C (SIGINT) and SIGTERM in a program that reads through the database
// manager, and database calls that take too long.
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
// With a timeout, a database call (TServerCall) that has run for longer is
// cancelled in the same way, and whatever fails after that fails because of
// the timeout (TimedOut).
//
// A cancel travels to the server, and a server that went silent never
// answers it: a call that runs kAbortAfter after its run was stopped, or
// later, has the watch close the connection (TDBManager::Abort), which ends
// any wait for the server. When the program is still there kStuckAfter after the
// stop, it waits for something else (a pipe nobody reads, a connection
// being made, which has no handle to cancel yet), and onStuck is called:
// the program should then end by itself.
//
// One watch at a time, made before the first database is attached (made
// later, it works the same).
#include "core/Exception.h"

#include <chrono>
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
    static constexpr std::chrono::seconds kAbortAfter{2};
    static constexpr std::chrono::seconds kStuckAfter{4};

    // notifier: called with the signal's number for each signal caught.
    // onStuck: called once, with the number of the signal that stopped the
    // run (0 for a timeout), when the program is still there kStuckAfter
    // after the stop. timeoutSeconds: how long one database call may take;
    // 0: no bound.
    explicit TSignalWatch(TNotifier notifier, TNotifier onStuck = {}, int timeoutSeconds = 0);
    // The signals go back to what they did before.
    ~TSignalWatch();
    TSignalWatch(const TSignalWatch&) = delete;
    TSignalWatch& operator=(const TSignalWatch&) = delete;

    // The first signal the watch caught, 0 while none has come.
    static int Caught();
    // The bound, in seconds, of a database call the watch found overdue; 0
    // while none has been.
    static int TimedOut();
    // Throws InterruptedError once a signal has been caught or a call found
    // overdue: the check a long run makes between its steps.
    static void StopIfCaught();

private:
    void Watch();

    TNotifier notifier;
    TNotifier onStuck;
    int timeoutSeconds;
    int pipeEnds[2] = {-1, -1};
    std::thread watcher;
};
