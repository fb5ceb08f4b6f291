// The ini layer over a settings or language file holding arbitrary bytes:
// reading values of every type, loading the message catalogue and
// relabelling a form from it, and writing a value into it.
#include "FuzzUtil.h"

#include "core/IniFile.h"
#include "locale/Localize.h"
#include "locale/Messages.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using FuzzUtil::Check;

namespace {

// A plain form of the kinds a language file knows, holding its texts.
class TComponent : public TLocalizedComponent {
public:
    TComponent(TKind kind, std::string name) : kind(kind), name(std::move(name)) {}
    TKind Kind() const override { return kind; }
    std::string Name() const override { return name; }
    std::string Caption() const override { return caption; }
    void SetCaption(const std::string& text) override { caption = text; }
    std::string Hint() const override { return hint; }
    void SetHint(const std::string& text) override { hint = text; }
    int PanelCount() const override { return kind == StatusBar ? 2 : 0; }
    std::string PanelText(int index) const override { return panels[static_cast<size_t>(index)]; }
    void SetPanelText(int index, const std::string& text) override { panels[static_cast<size_t>(index)] = text; }

private:
    TKind kind;
    std::string name;
    std::string caption = "caption";
    std::string hint = "hint";
    std::string panels[2];
};

class TForm : public TLocalizableForm {
public:
    std::string Name() const override { return "MainForm"; }
    std::string Caption() const override { return caption; }
    void SetCaption(const std::string& text) override { caption = text; }
    std::vector<std::unique_ptr<TLocalizedComponent>> Components() override
    {
        std::vector<std::unique_ptr<TLocalizedComponent>> list;
        list.push_back(std::make_unique<TComponent>(TLocalizedComponent::Label, "DatabaseLabel"));
        list.push_back(std::make_unique<TComponent>(TLocalizedComponent::SpeedButton, "OpenButton"));
        list.push_back(std::make_unique<TComponent>(TLocalizedComponent::Action, "RunAction"));
        list.push_back(std::make_unique<TComponent>(TLocalizedComponent::StatusBar, "StatusBar"));
        return list;
    }

private:
    std::string caption = "Norvane";
};

bool IsPlainName(const std::string& name)
{
    if (name.empty())
        return false;
    for (unsigned char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.'))
            return false;
    return true;
}

// A value that stands on one line with nothing to trim.
bool IsOneLineValue(const std::string& value)
{
    if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return false;
    auto blank = [](unsigned char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
    return value.empty() || (!blank(static_cast<unsigned char>(value.front())) &&
                             !blank(static_cast<unsigned char>(value.back())));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(24);
    const std::string key = input.ConsumeRandomLengthString(24);
    const std::string value = input.ConsumeRandomLengthString(64);
    const std::string contents = input.ConsumeRemainingBytesAsString();

    const std::string path = FuzzUtil::Scratch().File("fuzz.ini");
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        Check(static_cast<bool>(out), "the file is written");
    }

    {
        const TIniFile ini(path);
        const bool exists = ini.ValueExists(section, key);
        const std::string text = ini.ReadString(section, key, "\x01");
        Check(exists || text == "\x01", "a missing key reads as the default");
        ini.ReadInteger(section, key, -1);
        ini.ReadBool(section, key, true);
        ini.ReadString("Messages", "msgNoConnect", "");
    }

    LoadMessages(path);
    ResetMessages();
    TForm form;
    LocalizeForm(form, path);

    if (IsPlainName(section) && IsPlainName(key) && IsOneLineValue(value)) {
        TIniFile ini(path);
        ini.WriteString(section, key, value);
        Check(TIniFile(path).ReadString(section, key, "\x01") == value, "a written value reads back",
              section + "/" + key + "=" + value);
        const std::string written = ReadFile(path);
        for (size_t i = 0; i < written.size(); ++i)
            Check(written[i] != '\n' || (i > 0 && written[i - 1] == '\r'), "the file has CR LF lines only");
    }
    return 0;
}
