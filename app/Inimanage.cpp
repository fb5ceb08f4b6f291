// The settings file of the main window: the program's path with ".ini".
#include "app/Cp1251.h"
#include "app/Gui.h"
#include "core/Charset.h"
#include "core/IniFile.h"
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
const char kFilters[] = "Filters";
const char kApply[] = "Apply";

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
    // As the dates: the start is kept, the end is the end of today.
    meTimeBegin->setText(FromCp1251(ini.ReadString(kPeriod, "Begin time", "")));
    meTimeEnd->clear();

    edtTables->setText(FromCp1251(ini.ReadString(kFilters, "Tables", "")));
    edtExceptTables->setText(FromCp1251(ini.ReadString(kFilters, "Except tables", "")));
    edtUsers->setText(FromCp1251(ini.ReadString(kFilters, "Users", "")));
    const std::string operations = ini.ReadString(kFilters, "Operations", "IUD");
    for (auto [box, letter] : {std::pair{chbInserts, 'I'}, std::pair{chbUpdates, 'U'}, std::pair{chbDeletes, 'D'}})
        box->setChecked(operations.find(letter) != std::string::npos);

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

    ini.WriteString(kFilters, "Tables", ToCp1251(edtTables->text()));
    ini.WriteString(kFilters, "Except tables", ToCp1251(edtExceptTables->text()));
    ini.WriteString(kFilters, "Users", ToCp1251(edtUsers->text()));
    ini.WriteString(kFilters, "Operations", CheckedOperations());

    // A begin date that is not a date stops here, before the language.
    ini.WriteString(kPeriod, "Begin", DateToStr(PeriodDate(meDateBegin)));
    ini.WriteString(kPeriod, "Begin time", ToCp1251(meTimeBegin->text().trimmed()));

    ini.WriteBool(kLanguage, "English", miEnglish->isChecked());
    ini.WriteBool(kLanguage, "Russian", miRussian->isChecked());
}

TApplyTarget TfrmGUI::LoadApplyTarget() const
{
    TIniFile& ini = *settings;
    // A first apply starts with the source's user.
    return {PathFromSetting(ini.ReadString(kApply, "Target", "")),
            FromCp1251(ini.ReadString(kApply, "Target user", ToCp1251(edtUserName->text()))),
            FromCp1251(ini.ReadString(kApply, "Target password", "")),
            ini.ReadBool(kApply, "Remember target password", false)};
}

void TfrmGUI::SaveApplyTarget(const TApplyTarget& target)
{
    TIniFile& ini = *settings;
    ini.WriteString(kApply, "Target", PathToSetting(target.location));
    ini.WriteString(kApply, "Target user", ToCp1251(target.user));
    if (target.rememberPassword)
        ini.WriteString(kApply, "Target password", ToCp1251(target.password));
    else
        ini.DeleteKey(kApply, "Target password");
    ini.WriteBool(kApply, "Remember target password", target.rememberPassword);
}

void TfrmGUI::KeepOnScreen()
{
    // The whole window, frame, menu and status bar included, on the screen
    // that shows most of it, or on the nearest when none shows any. (The
    // frame is known once the window shows; before, the window alone.)
    const QRect frame = frameGeometry();
    const QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* best = nullptr;
    qint64 bestSeen = 0;
    qint64 bestDistance = 0;
    for (QScreen* screen : screens) {
        const QRect area = screen->availableGeometry();
        const QRect seen = frame.intersected(area);
        const qint64 seenArea = seen.isEmpty() ? 0 : qint64(seen.width()) * seen.height();
        const qint64 dx = std::max({area.left() - frame.right(), frame.left() - area.right(), 0});
        const qint64 dy = std::max({area.top() - frame.bottom(), frame.top() - area.bottom(), 0});
        const qint64 distance = dx * dx + dy * dy;
        if (!best || seenArea > bestSeen || (bestSeen == 0 && seenArea == 0 && distance < bestDistance)) {
            best = screen;
            bestSeen = seenArea;
            bestDistance = distance;
        }
    }
    if (!best)
        return;
    const QRect area = best->availableGeometry();
    if (area.contains(frame))
        return;
    // The stored size stays when it fits; the window moves only as far as
    // it must to be whole on that screen.
    const QSize margins = frame.size() - size();
    const QSize fitted = size().boundedTo(area.size() - margins);
    resize(fitted);
    const QSize whole = fitted + margins;
    move(std::clamp(frame.x(), area.left(), area.right() - whole.width() + 1),
         std::clamp(frame.y(), area.top(), area.bottom() - whole.height() + 1));
}
