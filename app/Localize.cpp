#include "app/Localize.h"

#include "app/Cp1251.h"
#include "app/Hyperlink.h"
#include "app/Statusbar.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QToolButton>

namespace {

const char kMenuItemProperty[] = "norvaneMenuItem";

// One adapter per kind; the texts cross the Windows-1251 boundary here.
template <class W, TLocalizedComponent::TKind K>
class TTextComponent : public TLocalizedComponent {
public:
    explicit TTextComponent(W* aW) : w(aW) {}
    TKind Kind() const override { return K; }
    std::string Name() const override { return w->objectName().toStdString(); }
    std::string Caption() const override { return ToCp1251(w->text()); }
    void SetCaption(const std::string& text) override { w->setText(FromCp1251(text)); }

protected:
    W* w;
};

class TMenuComponent : public TLocalizedComponent {
public:
    explicit TMenuComponent(QMenu* aM) : m(aM) {}
    TKind Kind() const override { return MenuItem; }
    std::string Name() const override { return m->objectName().toStdString(); }
    std::string Caption() const override { return ToCp1251(m->title()); }
    void SetCaption(const std::string& text) override { m->setTitle(FromCp1251(text)); }

private:
    QMenu* m;
};

class TSpeedButtonComponent : public TTextComponent<QToolButton, TLocalizedComponent::SpeedButton> {
public:
    using TTextComponent::TTextComponent;
    std::string Hint() const override { return ToCp1251(w->toolTip()); }
    void SetHint(const std::string& text) override { w->setToolTip(FromCp1251(text)); }
};

// An action's hint is its status tip and its tool tip (QAction makes up a
// tool tip from the caption when it has none, so the status tip is the one
// read back).
class TActionComponent : public TTextComponent<QAction, TLocalizedComponent::Action> {
public:
    using TTextComponent::TTextComponent;
    std::string Hint() const override { return ToCp1251(w->statusTip()); }
    void SetHint(const std::string& text) override
    {
        QString hint = FromCp1251(text);
        w->setStatusTip(hint);
        w->setToolTip(hint);
    }
};

class TStatusBarComponent : public TLocalizedComponent {
public:
    explicit TStatusBarComponent(TStatusBar* aS) : s(aS) {}
    TKind Kind() const override { return StatusBar; }
    std::string Name() const override { return s->objectName().toStdString(); }
    int PanelCount() const override { return s->PanelCount(); }
    std::string PanelText(int i) const override { return ToCp1251(s->Panel(i)->text()); }
    void SetPanelText(int i, const std::string& text) override { s->Panel(i)->setText(FromCp1251(text)); }

private:
    TStatusBar* s;
};

std::unique_ptr<TLocalizedComponent> Localized(QObject* o)
{
    if (qobject_cast<THyperLink*>(o))
        return nullptr;
    if (auto* w = qobject_cast<QLabel*>(o))
        return std::make_unique<TTextComponent<QLabel, TLocalizedComponent::Label>>(w);
    if (auto* w = qobject_cast<QRadioButton*>(o))
        return std::make_unique<TTextComponent<QRadioButton, TLocalizedComponent::RadioButton>>(w);
    if (auto* m = qobject_cast<QMenu*>(o))
        return std::make_unique<TMenuComponent>(m);
    auto* a = qobject_cast<QAction*>(o);
    if (a && a->property(kMenuItemProperty).toBool())
        return std::make_unique<TTextComponent<QAction, TLocalizedComponent::MenuItem>>(a);
    if (auto* w = qobject_cast<QToolButton*>(o))
        return std::make_unique<TSpeedButtonComponent>(w);
    if (a)
        return std::make_unique<TActionComponent>(a);
    if (auto* s = qobject_cast<TStatusBar*>(o))
        return std::make_unique<TStatusBarComponent>(s);
    if (auto* w = qobject_cast<QCheckBox*>(o))
        return std::make_unique<TTextComponent<QCheckBox, TLocalizedComponent::CheckBox>>(w);
    return nullptr;
}

}  // namespace

void MarkAsMenuItem(QAction* item)
{
    item->setProperty(kMenuItemProperty, true);
}

TQtLocalizableForm::TQtLocalizableForm(QWidget& f, QList<QObject*> c) : form(f), components(std::move(c)) {}

std::string TQtLocalizableForm::Name() const
{
    return form.objectName().toStdString();
}

std::string TQtLocalizableForm::Caption() const
{
    return ToCp1251(form.windowTitle());
}

void TQtLocalizableForm::SetCaption(const std::string& caption)
{
    form.setWindowTitle(FromCp1251(caption));
}

std::vector<std::unique_ptr<TLocalizedComponent>> TQtLocalizableForm::Components()
{
    std::vector<std::unique_ptr<TLocalizedComponent>> result;
    for (QObject* o : components)
        if (auto c = Localized(o))
            result.push_back(std::move(c));
    return result;
}
