#include "locale/Localize.h"

#include "core/IniFile.h"
#include "core/ProgramPath.h"

namespace {

const char* SectionOf(TLocalizedComponent::TKind kind)
{
    switch (kind) {
    case TLocalizedComponent::Label: return "Labels";
    case TLocalizedComponent::RadioButton: return "RadioButtons";
    case TLocalizedComponent::MenuItem: return "MenuItems";
    case TLocalizedComponent::SpeedButton: return "SpeedButtons";
    case TLocalizedComponent::Action: return "Actions";
    case TLocalizedComponent::StatusBar: return "StatusBar";
    case TLocalizedComponent::CheckBox: return "CheckBoxes";
    }
    return "";
}

std::string PanelKey(const TLocalizableForm& form, int index)
{
    return form.Name() + ".StatusBar." + std::to_string(index);
}

}  // namespace

void LocalizeForm(TLocalizableForm& form, const std::string& path)
{
    TIniFile ini(path);
    form.SetCaption(ini.ReadString("Forms", form.Name(), form.Caption()));
    for (const auto& c : form.Components()) {
        const char* section = SectionOf(c->Kind());
        const std::string name = c->Name();
        switch (c->Kind()) {
        case TLocalizedComponent::SpeedButton:
            c->SetCaption(ini.ReadString(section, name + ".Caption", c->Caption()));
            c->SetHint(ini.ReadString(section, name + ".Hint", c->Hint()));
            break;
        case TLocalizedComponent::Action:
            c->SetHint(ini.ReadString(section, name + ".Hint", c->Hint()));
            c->SetCaption(ini.ReadString(section, name + ".Caption", c->Caption()));
            break;
        case TLocalizedComponent::StatusBar:
            // Panels have no designed text to fall back on.
            for (int i = 0; i < c->PanelCount(); ++i)
                c->SetPanelText(i, ini.ReadString(section, PanelKey(form, i), ""));
            break;
        default:
            c->SetCaption(ini.ReadString(section, name, c->Caption()));
            break;
        }
    }
}

void ExportFormTexts(TLocalizableForm& form, const std::string& path)
{
    TIniFile ini(path);
    ini.WriteString("Forms", form.Name(), form.Caption());
    for (const auto& c : form.Components()) {
        const char* section = SectionOf(c->Kind());
        const std::string name = c->Name();
        switch (c->Kind()) {
        case TLocalizedComponent::SpeedButton:
            ini.WriteString(section, name + ".Caption", c->Caption());
            ini.WriteString(section, name + ".Hint", c->Hint());
            break;
        case TLocalizedComponent::Action:
            ini.WriteString(section, name + ".Hint", c->Hint());
            ini.WriteString(section, name + ".Caption", c->Caption());
            break;
        case TLocalizedComponent::StatusBar:
            for (int i = 0; i < c->PanelCount(); ++i)
                ini.WriteString(section, PanelKey(form, i), c->PanelText(i));
            break;
        default:
            ini.WriteString(section, name, c->Caption());
            break;
        }
    }
}

void ExportFormTexts(TLocalizableForm& form)
{
    ExportFormTexts(form, ExecutableDir() + "English.ini");
}
