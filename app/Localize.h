#pragma once
#include "locale/Localize.h"

#include <QList>

class QAction;
class QObject;
class QWidget;

// Marks a QAction as a menu item of its own (a language item), as opposed to
// an action of the window's action list that menus merely show.
void MarkAsMenuItem(QAction* item);

// A Qt window as the language files see it: its objectName and window title,
// and the components it registered in creation order. Kinds: QLabel (never
// a THyperLink), QRadioButton, QMenu and marked menu-item QActions,
// QToolButton, the other QActions, TStatusBar, QCheckBox.
class TQtLocalizableForm : public TLocalizableForm {
public:
    TQtLocalizableForm(QWidget& form, QList<QObject*> components);
    std::string Name() const override;
    std::string Caption() const override;
    void SetCaption(const std::string& caption) override;
    std::vector<std::unique_ptr<TLocalizedComponent>> Components() override;

private:
    QWidget& form;
    QList<QObject*> components;
};
