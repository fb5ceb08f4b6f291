#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

// What a run wrote for one page, the script or the XML log: an unnamed
// temporary file (in $TMPDIR, else /tmp) that the engine writes as it reads
// the log, and that the window then shows and saves from. It has no name
// from the start, so nothing is left behind, whatever ends the program.
// Reading is safe from any thread once Finish has been called.
class TRunOutput {
public:
    // Throws SpoolError when no temporary file can be made.
    TRunOutput();
    ~TRunOutput();
    TRunOutput(const TRunOutput&) = delete;
    TRunOutput& operator=(const TRunOutput&) = delete;

    // Where the engine writes.
    std::FILE* File() const { return file; }
    // Flushes what was written; throws SpoolError when it could not be written.
    void Finish();
    std::int64_t Size() const { return size; }
    // Up to count bytes from offset; how many there were.
    std::size_t Read(std::int64_t offset, char* data, std::size_t count) const;
    // The whole text.
    std::string ReadAll() const;
    // Writes the text to a file through a temporary file beside it, which
    // replaces the target only when all of it has been written. proceed is
    // asked between pieces with the share done (0..100); when it says no,
    // nothing is written. Throws FileError.
    bool CopyTo(const std::string& path, const std::function<bool(int percent)>& proceed = {}) const;

private:
    std::FILE* file = nullptr;
    std::int64_t size = 0;
};
