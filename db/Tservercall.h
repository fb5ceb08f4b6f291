#pragma once
// The database call running now, timed for the watch that bounds it
// (TSignalWatch). Each call of the client library that may wait for the
// database is made inside a TServerCall; the database manager makes one call
// at a time, and a call made inside another (a handle freed while a call
// fails) counts as part of it.
class TServerCall {
public:
    TServerCall() noexcept;
    ~TServerCall();
    TServerCall(const TServerCall&) = delete;
    TServerCall& operator=(const TServerCall&) = delete;

    // Milliseconds the call running now has taken so far; -1 while none runs.
    static long long RunningFor() noexcept;

private:
    bool outermost;
};
