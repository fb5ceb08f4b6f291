#pragma once
#include <string>

// Full path of the running executable (read from /proc/self/exe).
std::string ExecutablePath();
// Its directory, ending with '/'. Settings, language and report files live here.
std::string ExecutableDir();
// path with its extension (the part after the last '.' of the file name)
// replaced by ext, which includes the dot: ChangeFileExt("/a/b.x", ".ini").
std::string ChangeFileExt(const std::string& path, const std::string& ext);
bool FileExists(const std::string& path);
