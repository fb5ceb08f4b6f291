#pragma once
#include <memory>
#include <string>
#include <vector>

// Relabelling of a window from a language file, and the export of its texts
// for translators. The window toolkit stays out of this: a window offers
// itself through TLocalizableForm, its components through
// TLocalizedComponent. Texts are 8-bit Windows-1251.
//
// Language file sections: Forms (form name = caption), Labels, RadioButtons,
// MenuItems, CheckBoxes (component name = caption), SpeedButtons
// (name.Caption, name.Hint), Actions (name.Hint, name.Caption), StatusBar
// (form name.StatusBar.n = text of panel n).

class TLocalizedComponent {
public:
    // The kinds the language files know, in the order a component is matched.
    enum TKind { Label, RadioButton, MenuItem, SpeedButton, Action, StatusBar, CheckBox };

    virtual ~TLocalizedComponent() = default;
    virtual TKind Kind() const = 0;
    virtual std::string Name() const = 0;
    // Every kind but StatusBar.
    virtual std::string Caption() const { return {}; }
    virtual void SetCaption(const std::string&) {}
    // SpeedButton and Action.
    virtual std::string Hint() const { return {}; }
    virtual void SetHint(const std::string&) {}
    // StatusBar.
    virtual int PanelCount() const { return 0; }
    virtual std::string PanelText(int) const { return {}; }
    virtual void SetPanelText(int, const std::string&) {}
};

class TLocalizableForm {
public:
    virtual ~TLocalizableForm() = default;
    virtual std::string Name() const = 0;
    virtual std::string Caption() const = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // The components the form owns, in its creation order, each seen as the
    // first kind it matches; components of no kind are left out.
    virtual std::vector<std::unique_ptr<TLocalizedComponent>> Components() = 0;
};

// Sets the form's texts from the language file at path. A missing key leaves
// a text as it is, except a status panel's, which becomes empty; a key with
// an empty value empties its text. A missing file reads as empty.
void LocalizeForm(TLocalizableForm& form, const std::string& path);

// Writes the texts the form shows now into the language file at path (created
// when missing; existing keys replaced, other content kept; a new section
// goes at the end, so sections come in the order components first need them).
void ExportFormTexts(TLocalizableForm& form, const std::string& path);
// Same, into English.ini beside the executable.
void ExportFormTexts(TLocalizableForm& form);
