#pragma once
// Helpers shared by the fuzz targets: a failed property stops the run with a
// message (libFuzzer then keeps the input as a crash), and a scratch folder
// of the process for the files a target writes.
#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace FuzzUtil {

[[noreturn]] inline void Fail(const char* what, const std::string& detail = {})
{
    std::fprintf(stderr, "property failed: %s\n%s\n", what, detail.c_str());
    std::abort();
}

inline void Check(bool condition, const char* what, const std::string& detail = {})
{
    if (!condition)
        Fail(what, detail);
}

// A folder of its own for this process, removed at exit.
class TScratchDir {
public:
    TScratchDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "norvane-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            Fail("cannot make a scratch folder");
        path = pattern;
    }
    ~TScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string File(const std::string& name) const { return (path / name).string(); }

private:
    std::filesystem::path path;
};

inline const TScratchDir& Scratch()
{
    static const TScratchDir dir;
    return dir;
}

}  // namespace FuzzUtil
