#pragma once
#include <sys/types.h>

#include <memory>
#include <string>

// An initialization file of [Section] and Key=Value lines, 8-bit text.
// Section and key names match without regard to case; a value is the rest of
// its line after the first '='. Reads see the file as it is on disk; every
// write goes to the file at once, creating it, the section and the key as
// needed and keeping everything else. Files are written with CR LF lines.
class TIniFile {
public:
    // createMode: permission bits of the file when a write creates it.
    explicit TIniFile(std::string path, mode_t createMode = 0644);
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const std::string& FileName() const { return path; }

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;
    void WriteString(const std::string& section, const std::string& key,
                     const std::string& value);
    bool ValueExists(const std::string& section, const std::string& key) const;

    // Decimal integers; a value that is not a number reads as def.
    long ReadInteger(const std::string& section, const std::string& key, long def) const;
    void WriteInteger(const std::string& section, const std::string& key, long value);
    // "1"/"0"; reads false for 0, true for any other number, def otherwise.
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;
    void WriteBool(const std::string& section, const std::string& key, bool value);

    void DeleteKey(const std::string& section, const std::string& key);

private:
    struct Impl;
    void Refresh() const;
    void Store();

    std::string path;
    mode_t createMode;
    std::unique_ptr<Impl> impl;
};

// An initialization text held in memory (a built-in language file), read as
// TIniFile reads a file.
class TIniText {
public:
    explicit TIniText(const std::string& text);
    ~TIniText();
    TIniText(const TIniText&) = delete;
    TIniText& operator=(const TIniText&) = delete;

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};
