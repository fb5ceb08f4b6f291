#include "core/ProgramPath.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

std::string ExecutablePath()
{
    std::vector<char> buf(4096);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) < buf.size())
            return std::string(buf.data(), static_cast<size_t>(n));
        buf.resize(buf.size() * 2);
    }
}

std::string ExecutableDir()
{
    std::string path = ExecutablePath();
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return "./";
    return path.substr(0, slash + 1);
}

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    std::string folder = home && *home ? home : "";
    if (folder.empty())
        if (const passwd* user = getpwuid(getuid()))
            folder = user->pw_dir ? user->pw_dir : "";
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

std::string SettingsFolder(const std::string& programDir)
{
    // access() asks with the real user's rights and knows a read-only file
    // system: an installed program's folder is the system's.
    if (access(programDir.c_str(), W_OK) == 0)
        return programDir;
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string config = configHome && configHome[0] == '/' ? configHome : HomeFolder() + ".config";
    while (config.size() > 1 && config.back() == '/')
        config.pop_back();
    // The configuration folder is the user's own (0700, as the XDG base
    // directories ask); a folder there already keeps its mode.
    mkdir(config.c_str(), 0700);
    const std::string folder = config + "/norvane/";
    mkdir(folder.c_str(), 0700);
    return folder;
}

std::string ChangeFileExt(const std::string& path, const std::string& ext)
{
    auto slash = path.rfind('/');
    auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ext;
    return path.substr(0, dot) + ext;
}

bool FileExists(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
