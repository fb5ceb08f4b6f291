#pragma once
#include <string>

// Writes a file so that readers see either the old content or the whole new
// one: the data goes to a temporary file beside the target, which replaces
// the target only on Commit. Without Commit the temporary file is removed.
class TAtomicFile {
public:
    explicit TAtomicFile(std::string target);
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    // The temporary file's path, for writers that want a file name.
    const std::string& TempPath() const { return temp; }
    // Writes all of data to the temporary file (replacing what it held).
    void Write(const std::string& data);
    // Moves the temporary file into place; throws Exception on failure.
    void Commit();

private:
    std::string target;
    std::string temp;
    bool committed = false;
};

// Writes data to path through a TAtomicFile.
void WriteFileAtomically(const std::string& path, const std::string& data);
