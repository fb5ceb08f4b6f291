#pragma once
#include <string>

// Full path of the running executable (read from /proc/self/exe).
std::string ExecutablePath();
// Its directory, ending with '/'.
std::string ExecutableDir();
// The folder of the window's settings, language and report files, ending
// with '/': the program's own folder (programDir, ending with '/') while the
// program may write there, as in a build folder; otherwise, as for a
// program installed for the whole system, the user's configuration folder,
// $XDG_CONFIG_HOME/norvane/ (when that is an absolute path), else
// ~/.config/norvane/, made when missing (readable by its owner only).
std::string SettingsFolder(const std::string& programDir);
// The user's home folder, ending with '/'.
std::string HomeFolder();
// path with its extension (the part after the last '.' of the file name)
// replaced by ext, which includes the dot: ChangeFileExt("/a/b.x", ".ini").
std::string ChangeFileExt(const std::string& path, const std::string& ext);
bool FileExists(const std::string& path);
