#include "core/IniFile.h"

#include "core/AtomicFile.h"

// 8-bit text only: no wide-character converter is needed.
#define SI_NO_CONVERSION
#include <SimpleIni.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

struct TIniFile::Impl {
    CSimpleIniA ini{false, false, false};  // 8-bit, single keys, no multi-line values
    bool loaded = false;
    struct stat seen {};
};

namespace {

bool SameStat(const struct stat& a, const struct stat& b)
{
    return a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

}  // namespace

TIniFile::TIniFile(std::string p, mode_t mode) : path(std::move(p)), createMode(mode), impl(std::make_unique<Impl>())
{
    impl->ini.SetSpaces(false);  // Key=Value, as other programs write and read it
}

TIniFile::~TIniFile() = default;

void TIniFile::Refresh() const
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        impl->ini.Reset();
        impl->loaded = false;
        return;
    }
    if (impl->loaded && SameStat(st, impl->seen))
        return;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    impl->ini.Reset();
    std::string data = text.str();
    impl->ini.LoadData(data.data(), data.size());
    impl->seen = st;
    impl->loaded = true;
}

void TIniFile::Store()
{
    std::string text;
    impl->ini.Save(text);
    // SimpleIni keeps the blank line it read before a section and adds its
    // own; one blank line between sections is enough.
    for (size_t at = text.find("\n\n\n"); at != std::string::npos; at = text.find("\n\n\n", at))
        text.erase(at, 1);
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            crlf += '\r';
        crlf += text[i];
    }
    WriteFileAtomically(path, crlf, createMode);
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        impl->seen = st;
        impl->loaded = true;
    }
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const
{
    Refresh();
    const char* v = impl->ini.GetValue(section.c_str(), key.c_str(), nullptr);
    return v ? std::string(v) : def;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const
{
    Refresh();
    return impl->ini.GetValue(section.c_str(), key.c_str(), nullptr) != nullptr;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value)
{
    Refresh();
    impl->ini.SetValue(section.c_str(), key.c_str(), value.c_str(), nullptr, true);
    Store();
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key)
{
    Refresh();
    if (impl->ini.Delete(section.c_str(), key.c_str(), false))
        Store();
}

long TIniFile::ReadInteger(const std::string& section, const std::string& key, long def) const
{
    std::string text = ReadString(section, key, "");
    if (text.empty())
        return def;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0')
        return def;
    return v;
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, long value)
{
    WriteString(section, key, std::to_string(value));
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

struct TIniText::Impl {
    CSimpleIniA ini{false, false, false};  // as TIniFile::Impl
};

TIniText::TIniText(const std::string& text) : impl(std::make_unique<Impl>())
{
    impl->ini.LoadData(text.data(), text.size());
}

TIniText::~TIniText() = default;

std::string TIniText::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const
{
    const char* v = impl->ini.GetValue(section.c_str(), key.c_str(), nullptr);
    return v ? std::string(v) : def;
}
