// Norvane's window: start-up.
#include "app/About.h"
#include "app/Cp1251.h"
#include "app/Dialogs.h"
#include "app/Gui.h"
#include "app/core/Exception.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("Norvane");
    TDialogs dialogs;
    try {
        TfrmGUI frmGUI(dialogs);
        TfrmAbout frmAbout;
        frmGUI.SetAboutForm(&frmAbout);
        frmGUI.show();
        return QApplication::exec();
    } catch (const Exception& e) {
        dialogs.ShowError(nullptr, FromCp1251(e.Message));
    } catch (const std::exception& e) {
        dialogs.ShowError(nullptr, FromCp1251(e.what()));
    }
    return 1;
}
