// Norvane's window: start-up.
#include "app/About.h"
#include "app/Cp1251.h"
#include "app/Dialogs.h"
#include "app/Gui.h"
#include "app/Icon.h"
#include "engine/Failure.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("Norvane");
    QApplication::setWindowIcon(NorvaneIcon());
    TDialogs dialogs;
    try {
        TfrmGUI frmGUI(dialogs);
        TfrmAbout frmAbout;
        frmGUI.SetAboutForm(&frmAbout);
        frmGUI.EndOnSignals();
        frmGUI.show();
        return QApplication::exec();
    } catch (const std::exception&) {
        dialogs.ShowError(nullptr, FromCp1251(Norvane::DescribeFailure(std::current_exception()).text));
    }
    return 1;
}
