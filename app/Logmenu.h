#pragma once
// The window's "Change log" menu: installs the change log on the database
// named in the window, or brings it up to date, once the user has answered
// a question that names the database; and shows the log's status. Both as
// norvane-cli log install and log status do (engine/Clogadmin.h).
#include "engine/Clogadmin.h"

#include <QObject>

#include <functional>

class QAction;
class QMainWindow;
class QMenu;
class TDialogs;

class TLogMenu : public QObject {
public:
    // Adds the menu to the window's menu bar in front of `before`. login
    // gives the database, user and password as the window holds them now.
    // The window switches the actions off while it reads a log.
    TLogMenu(QMainWindow& window, TDialogs& dialogs, std::function<Norvane::TLogDatabase()> login, QMenu* before);

    QMenu* Menu() const { return menu; }
    QAction* InstallAction() const { return install; }
    QAction* StatusAction() const { return status; }

private:
    void Install();
    void Status();
    // Runs the command with a wait cursor and shows what it says.
    void Show(const std::function<std::string()>& command);

    QMainWindow& window;
    TDialogs& dialogs;
    std::function<Norvane::TLogDatabase()> login;
    QMenu* menu;
    QAction* install;
    QAction* status;
};
