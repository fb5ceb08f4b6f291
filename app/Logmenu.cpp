#include "app/Logmenu.h"

#include "app/Cp1251.h"
#include "app/Dialogs.h"
#include "locale/Messages.h"

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>

TLogMenu::TLogMenu(QMainWindow& aWindow, TDialogs& aDialogs, std::function<Norvane::TLogDatabase()> aLogin,
                   QMenu* before)
    : QObject(&aWindow), window(aWindow), dialogs(aDialogs), login(std::move(aLogin))
{
    // The captions are English as designed; the language files relabel them
    // with the window's own (the window registers them for that).
    menu = new QMenu(QStringLiteral("Change &log"), &window);
    menu->setObjectName("miChangeLog");
    window.menuBar()->insertMenu(before ? before->menuAction() : nullptr, menu);
    install = menu->addAction(QStringLiteral("&Install or update..."));
    install->setObjectName("actLogInstall");
    install->setStatusTip(QStringLiteral("Install the change log on the database, or bring it up to date"));
    status = menu->addAction(QStringLiteral("&Status"));
    status->setObjectName("actLogStatus");
    status->setStatusTip(QStringLiteral("Which tables are logged, the entries and the size of the change log"));
    connect(install, &QAction::triggered, this, [this] { Install(); });
    connect(status, &QAction::triggered, this, [this] { Status(); });
}

void TLogMenu::Show(const std::function<std::string()>& command)
{
    std::string text;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct TRestore {
            ~TRestore() { QApplication::restoreOverrideCursor(); }
        } restore;
        try {
            text = command();
        } catch (...) {
            text = Norvane::DescribeLogFailure(std::current_exception()).text;
        }
    }
    dialogs.ShowMessage(&window, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).trimmed());
}

void TLogMenu::Install()
{
    const Norvane::TLogDatabase database = login();
    if (database.location.empty())
        return;
    const QString name = QFile::decodeName(QByteArray::fromStdString(database.location));
    if (!dialogs.Confirm(&window, FromCp1251(msgLogInstallQuestion) + QLatin1Char('\n') + name +
                                      QStringLiteral("\n\n") + FromCp1251(msgLogInstallNote)))
        return;
    Show([&] { return Norvane::InstallText(Norvane::InstallLog(database), database.location); });
}

void TLogMenu::Status()
{
    const Norvane::TLogDatabase database = login();
    if (database.location.empty())
        return;
    Show([&] { return Norvane::StatusText(Norvane::ReadLogStatus(database), database.location); });
}
