// The settings file of the main window: the program's path with ".ini".
#include "app/Cp1251.h"
#include "app/Gui.h"
#include "app/core/Charset.h"
#include "app/core/IniFile.h"
#include "locale/Regional.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>

#include <algorithm>

namespace {

const char kDBAccess[] = "DB Access";
const char kForm[] = "Form";
const char kSettings[] = "Settings";
const char kPeriod[] = "Period";
const char kLanguage[] = "Language";

}  // namespace

void TfrmGUI::LoadSettings()
{
    TIniFile& ini = *settings;
    edtDatabaseFile->setText(PathFromSetting(ini.ReadString(kDBAccess, "Database file", "")));
    edtUserName->setText(FromCp1251(ini.ReadString(kDBAccess, "User name", "SYSDBA")));
    edtPassword->setText(FromCp1251(ini.ReadString(kDBAccess, "Password", "tollgrove")));
    chbRememberPassword->setChecked(ini.ReadBool(kDBAccess, "Remember Password", false));
    cmbCharset->setEditText(FromCp1251(ini.ReadString(kDBAccess, "Character set", kDefaultCharset)));

    move(x(), static_cast<int>(ini.ReadInteger(kForm, "Top", y())));
    move(static_cast<int>(ini.ReadInteger(kForm, "Left", x())), y());
    resize(static_cast<int>(ini.ReadInteger(kForm, "Width", width())), height());
    resize(width(), static_cast<int>(ini.ReadInteger(kForm, "Height", height())));
    KeepOnScreen();

    const bool reproducing = ini.ReadBool(kSettings, "Reproducing", true);
    rdbReproducingScript->setChecked(reproducing);
    rdbUndoScript->setChecked(!reproducing);
    chbIncludeComments->setChecked(ini.ReadBool(kSettings, "Include Comments", true));
    chbDisableTriggers->setChecked(ini.ReadBool(kSettings, "Disable Triggers", false));
    chbSyncGenerators->setChecked(ini.ReadBool(kSettings, "Sync Generators", false));

    TDateTime begin;
    if (!TryStrToDate(ini.ReadString(kPeriod, "Begin", ""), begin))
        begin = EncodeDate(1901, 1, 1);
    meDateBegin->setText(FromCp1251(DateToStr(begin)));
    meDateEnd->setText(FromCp1251(DateToStr(Date())));

    // One radio group: checking one item unchecks the other, so when both
    // read true the Russian one stays checked.
    miEnglish->setChecked(ini.ReadBool(kLanguage, "English", true));
    miRussian->setChecked(ini.ReadBool(kLanguage, "Russian", false));
}

void TfrmGUI::SaveSettings()
{
    TIniFile& ini = *settings;
    ini.WriteString(kDBAccess, "Database file", PathToSetting(edtDatabaseFile->text()));
    ini.WriteString(kDBAccess, "User name", ToCp1251(edtUserName->text()));
    // A password is kept only while the user asks for it.
    if (chbRememberPassword->isChecked())
        ini.WriteString(kDBAccess, "Password", ToCp1251(edtPassword->text()));
    else
        ini.DeleteKey(kDBAccess, "Password");
    ini.WriteBool(kDBAccess, "Remember Password", chbRememberPassword->isChecked());
    // Written only when it is not the default, so that settings of earlier
    // versions stay as they were.
    const std::string charset = ToCp1251(cmbCharset->currentText().trimmed());
    if (charset == kDefaultCharset || charset.empty())
        ini.DeleteKey(kDBAccess, "Character set");
    else
        ini.WriteString(kDBAccess, "Character set", charset);

    ini.WriteInteger(kForm, "Top", y());
    ini.WriteInteger(kForm, "Left", x());
    ini.WriteInteger(kForm, "Width", width());
    ini.WriteInteger(kForm, "Height", height());

    ini.WriteBool(kSettings, "Include Comments", chbIncludeComments->isChecked());
    ini.WriteBool(kSettings, "Disable Triggers", chbDisableTriggers->isChecked());
    ini.WriteBool(kSettings, "Sync Generators", chbSyncGenerators->isChecked());
    ini.WriteBool(kSettings, "Reproducing", rdbReproducingScript->isChecked());

    // A begin date that is not a date stops here, before the language.
    ini.WriteString(kPeriod, "Begin", DateToStr(PeriodDate(meDateBegin)));

    ini.WriteBool(kLanguage, "English", miEnglish->isChecked());
    ini.WriteBool(kLanguage, "Russian", miRussian->isChecked());
}

void TfrmGUI::KeepOnScreen()
{
    // The window is within reach while a screen shows a good part of its top
    // strip, where the title bar is grabbed.
    const QRect window(pos(), size());
    const QRect strip(window.topLeft(), QSize(window.width(), std::min(window.height(), 30)));
    const QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* nearest = nullptr;
    qint64 nearestDistance = 0;
    for (QScreen* screen : screens) {
        const QRect area = screen->availableGeometry();
        const QRect seen = strip.intersected(area);
        if (seen.width() >= std::min(strip.width(), 100) && seen.height() >= strip.height() / 2)
            return;
        const qint64 dx = std::max({area.left() - window.right(), window.left() - area.right(), 0});
        const qint64 dy = std::max({area.top() - window.bottom(), window.top() - area.bottom(), 0});
        if (!nearest || dx * dx + dy * dy < nearestDistance) {
            nearest = screen;
            nearestDistance = dx * dx + dy * dy;
        }
    }
    if (!nearest)
        return;
    // The stored size stays when it fits; the window moves only as far as
    // it must to be whole on that screen.
    const QRect area = nearest->availableGeometry();
    const QSize fitted = size().boundedTo(area.size());
    resize(fitted);
    move(std::clamp(x(), area.left(), area.right() - fitted.width() + 1),
         std::clamp(y(), area.top(), area.bottom() - fitted.height() + 1));
}
