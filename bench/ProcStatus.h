#pragma once
// The benchmark programs' reading of their own memory figures.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

// A line of /proc/self/status in KiB (VmRSS, VmHWM); 0 when it is missing.
inline long StatusKiB(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t keyLength = std::strlen(key);
    while (std::getline(status, line))
        if (line.compare(0, keyLength, key) == 0 && line.size() > keyLength && line[keyLength] == ':')
            return std::atol(line.c_str() + keyLength + 1);
    return 0;
}
