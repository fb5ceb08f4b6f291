#pragma once
// The outputs of a norvane-cli run: the script and the XML log.
//
// Nothing reaches a target before the whole run has succeeded. A regular
// file (or a name where none is yet) is written to a temporary file beside
// it, which replaces it at Commit once it is on the disk. Anything else, a
// pipe, a device, a socket or standard output, cannot be replaced and
// would take whatever was written at once; its output is kept aside in a
// temporary file of $TMPDIR and passed on only when the run has succeeded
// (PassOn). Only temporary files the program made itself are ever removed.
#include "core/AtomicFile.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class TOutput {
public:
    // target: a path, or empty for standard output. Throws WriteError when
    // the temporary file cannot be made.
    explicit TOutput(std::string target);
    // Removes the temporary file that did not take the target's place.
    ~TOutput();
    TOutput(const TOutput&) = delete;
    TOutput& operator=(const TOutput&) = delete;

    // Where the run writes the output.
    std::FILE* Stream() const { return stream.get(); }
    // Throws the WriteError of the first write to Stream that failed
    // ("Cannot write PATH: reason"), if one has.
    void CheckWritten() const;
    // Sends what Stream holds on and brings a temporary file beside the
    // target to the disk. Throws WriteError.
    void Finish();
    // Passes output kept aside on to its target: waits for a pipe's reader
    // to come and to take it, stopping for a signal (InterruptedError) and,
    // with a timeout, when nothing was taken for that many seconds
    // (TimeoutError). Throws WriteError when the target refuses it.
    void PassOn(int timeoutSeconds);

    // Moves the temporary files of the outputs into place, where there are
    // some; from then on EndAbruptly leaves the program alone. Throws
    // WriteError.
    static void Commit(const std::vector<TOutput*>& outputs);

private:
    static ssize_t Write(void* cookie, const char* data, size_t size);

    std::string target;  // empty: standard output
    std::string name;    // the target in messages
    std::unique_ptr<TAtomicFile> file;  // for a regular file
    TFileDescriptor spool;              // for anything else
    int descriptor = -1;                // where Stream writes: the temporary file or the spool
    struct TCloser {
        void operator()(std::FILE* open) const { std::fclose(open); }
    };
    std::unique_ptr<std::FILE, TCloser> stream;
    int writeError = 0;  // errno of the first write that failed
};

// Whether two outputs (a path, or empty for standard output) are one file:
// the same device and inode, or, where nothing is yet, the same name in the
// same folder.
bool SameFile(const std::string& first, const std::string& second);

// Ends the program at once, from any thread, as a failed run ends: the
// temporary files of the outputs go, the text (if any) goes to standard
// error when it can take it without waiting, and the program exits with the
// status.
// Returns without doing anything once the outputs are being moved into
// place, which the program finishes by itself.
void EndAbruptly(const std::string& text, int status);
