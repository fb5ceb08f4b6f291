// English and Russian interface from language files: Locale.ini, the
// built-in language texts and the export to English.ini, on real files.
#include "GuiTestUtil.h"

#include "app/Hyperlink.h"
#include "app/Statusbar.h"
#include "core/Resfuncs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolButton>

namespace {

QString Label(const TWindow& w, const char* name)
{
    return w.Find<QLabel>(name)->text();
}

QString MenuTitle(const TWindow& w, const char* name)
{
    return w.gui->menuBar()->findChild<QMenu*>(name)->title();
}

// The lines of an ini file without its blank lines: how far apart the ini
// layer sets its sections is no concern of the window.
QByteArray WithoutBlankLines(QByteArray text)
{
    while (text.contains("\r\n\r\n"))
        text.replace("\r\n\r\n", "\r\n");
    return text;
}

QByteArray BuiltIn(int id)
{
    QByteArray text = QByteArray::fromStdString(LoadResourceText(id, "LOCALE"));
    if (!text.endsWith("\r\n"))
        text += "\r\n";
    return text;
}

}  // namespace

class TestLanguage : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        PinFormats();
        ResetMessages();
    }
    void cleanup() { ResetMessages(); }

    void startupInEnglishLeavesLocaleIniAlone()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        WriteBytes(dir.Settings(), "[Language]\r\nEnglish=1\r\nRussian=0\r\n");
        WriteBytes(dir.Path("Locale.ini"), "[Forms]\r\nfrmGUI=Edited English\r\n[Messages]\r\nmsgWelcome=Hi\r\n");
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        QCOMPARE(w.gui->windowTitle(), QStringLiteral("Norvane (Scripting tool for IBExpert\u00AE Log)"));
        QCOMPARE(w.SqlText(), QString());
        QCOMPARE(QString::fromStdString(msgWelcome), QStringLiteral("Welcome to Norvane!!! Here comes resulting script"));
    }

    void russianStoredWithoutLocaleIniStartsInEnglish()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        WriteBytes(dir.Settings(), "[Language]\r\nEnglish=0\r\nRussian=1\r\n");
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        QVERIFY(w.Action("miRussian")->isChecked());
        QVERIFY(!w.Action("miEnglish")->isChecked());
        QCOMPARE(Label(w, "lblDatabaseFile"), QStringLiteral("Database file:"));
        QCOMPARE(w.SqlText(), QString());
        QVERIFY(!QFileInfo::exists(dir.Path("Locale.ini")));
    }

    void clickOnTheCheckedItemDoesNothing()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        w.Memo("mmSQL")->setPlainText("a script");
        w.Action("miEnglish")->trigger();
        QVERIFY(w.Action("miEnglish")->isChecked());
        QVERIFY(!w.Action("miRussian")->isChecked());
        QCOMPARE(w.SqlText(), QStringLiteral("a script"));
        QVERIFY(!QFileInfo::exists(dir.Path("Locale.ini")));
    }

    void switchingToRussianWritesLocaleIniAndRelabelsBothForms()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        // The user's script and the XML log stay; the welcome text goes only
        // onto an empty page (or one that holds the welcome text).
        w.Memo("mmSQL")->setPlainText("a script");
        w.Memo("mmXML")->setPlainText("<log/>");
        w.Action("miRussian")->trigger();
        QCOMPARE(w.SqlText(), QStringLiteral("a script"));
        QCOMPARE(w.Memo("mmXML")->toPlainText(), QStringLiteral("<log/>"));
        w.Memo("mmSQL")->clear();
        w.Action("miEnglish")->trigger();
        QCOMPARE(w.SqlText(), QStringLiteral("Welcome to Norvane!!! Here comes resulting script"));
        w.Action("miRussian")->trigger();

        QVERIFY(w.Action("miRussian")->isChecked());
        QVERIFY(!w.Action("miEnglish")->isChecked());
        const QByteArray file = ReadBytes(dir.Path("Locale.ini"));
        QCOMPARE(file, BuiltIn(10121));
        QVERIFY(!QByteArray(file).replace("\r\n", "").contains('\n'));

        QCOMPARE(w.SqlText(), QStringLiteral("Вас приветствует Norvane!!! Это окно для скрипта"));
        QCOMPARE(w.gui->windowTitle(),
                 QStringLiteral("Norvane (инструмент создания скриптов на основе журнала IBExpert)"));
        QCOMPARE(Label(w, "lblDatabaseFile"), QStringLiteral("Файл базы данных:"));
        QCOMPARE(Label(w, "lblPeriodTo"), QStringLiteral("по"));
        QCOMPARE(Label(w, "lblTables"), QStringLiteral("Таблицы:"));
        QCOMPARE(w.Find<QCheckBox>("chbDeletes")->text(), QStringLiteral("Удаления"));
        QCOMPARE(w.Action("actApply")->text(), QStringLiteral("&Применить к базе данных..."));
        QCOMPARE(w.Find<QCheckBox>("chbRememberPassword")->text(), QStringLiteral("Запомнить пароль"));
        QCOMPARE(w.Find<QRadioButton>("rdbUndoScript")->text(), QStringLiteral("Отменяющий скрипт"));
        QCOMPARE(MenuTitle(w, "miFile"), QStringLiteral("&Файл"));
        QCOMPARE(MenuTitle(w, "miLanguage"), QStringLiteral("&Язык"));
        QCOMPARE(w.Find<QMenu>("miChangeLog")->title(), QStringLiteral("Журнал &изменений"));
        QCOMPARE(w.Action("actLogStatus")->text(), QStringLiteral("&Состояние"));
        QCOMPARE(w.Action("actExecute")->text(), QStringLiteral("С&оздать скрипт"));
        QCOMPARE(w.Action("actExecute")->statusTip(),
                 QStringLiteral("Создать скрипт на основе журнала IBExpert указанного файла базы данных"));
        QCOMPARE(w.Action("actExecute")->toolTip(), w.Action("actExecute")->statusTip());
        QCOMPARE(w.Find<QToolButton>("SpeedButton1")->toolTip(),
                 QStringLiteral("Выбрать файл базы данных для создания скрипта по ее журналу"));
        // The About box reads the same file; its link keeps its text.
        QCOMPARE(w.about->windowTitle(), QStringLiteral("О программе"));
        QCOMPARE(Label(w, "lblAboutDescription"), QStringLiteral("SQL скрипты по журналу IBExpert"));
        QCOMPARE(Label(w, "lblAboutTitle"), QStringLiteral("Norvane"));
        QCOMPARE(w.about->findChild<THyperLink*>("HyperLink1")->text(), QStringLiteral("https://www.norvane.org/"));
        // The messages follow, the file dialogs' titles and filters too.
        QCOMPARE(FromCp1251(msgNoConnect), QStringLiteral("Ошибка при подключении к указанному файлу базы данных"));
        w.Action("actSave")->trigger();
        QCOMPARE(dialogs.fileRequests.value(0).setup.title, QStringLiteral("Сохранить SQL-скрипт как"));
        QCOMPARE(dialogs.fileRequests.value(0).setup.filters,
                 QStringList({"Файлы SQL (*.sql)", "Текстовые файлы (*.txt)"}));
    }

    void backToEnglishKeepsWhatTheEnglishTextLacks()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        // A Russian start from an edited Locale.ini.
        WriteBytes(dir.Settings(), "[Language]\r\nEnglish=0\r\nRussian=1\r\n");
        WriteBytes(dir.Path("Locale.ini"),
                   "[MenuItems]\r\nmiHelp=" + Cp(QStringLiteral("&Справка")) + "\r\n[SpeedButtons]\r\n"
                   "SpeedButton1.Caption=...\r\n[StatusBar]\r\nfrmGUI.StatusBar.1=" + Cp(QStringLiteral("Готово")) +
                   "\r\n[Labels]\r\nlblUserName=\r\nHyperLink1=Changed\r\n");
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        QCOMPARE(MenuTitle(w, "miHelp"), QStringLiteral("&Справка"));
        QCOMPARE(w.Find<QToolButton>("SpeedButton1")->text(), QStringLiteral("..."));
        auto* status = w.Find<TStatusBar>("StatusBar");
        QCOMPARE(status->Panel(0)->text(), QString());
        QCOMPARE(status->Panel(1)->text(), QStringLiteral("Готово"));
        // A key with an empty value empties its text; the link never changes.
        QCOMPARE(Label(w, "lblUserName"), QString());
        QCOMPARE(w.about->findChild<THyperLink*>("HyperLink1")->text(), QStringLiteral("https://www.norvane.org/"));
        QCOMPARE(w.SqlText(), QStringLiteral("Welcome to Norvane!!! Here comes resulting script"));

        status->Panel(0)->setText("busy");
        w.Action("miEnglish")->trigger();
        QCOMPARE(ReadBytes(dir.Path("Locale.ini")), BuiltIn(10120));
        QCOMPARE(Label(w, "lblUserName"), QStringLiteral("User name:"));
        // English has no miHelp key: the caption stays as it was.
        QCOMPARE(MenuTitle(w, "miHelp"), QStringLiteral("&Справка"));
        // English has SpeedButton1.Caption with an empty value.
        QCOMPARE(w.Find<QToolButton>("SpeedButton1")->text(), QString());
        // Panels without a key are emptied on every application.
        QCOMPARE(status->Panel(0)->text(), QString());
        QCOMPARE(status->Panel(1)->text(), QString());
        QCOMPARE(FromCp1251(msgNoMatchedRecords), QStringLiteral("Log has no matched records"));
        QCOMPARE(w.SqlText(), QStringLiteral("Welcome to Norvane!!! Here comes resulting script"));
    }

    void editedLocaleIniSurvivesARestart()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        {
            TWindow w(dialogs, dir.Program());
            w.gui->show();
            w.Action("miRussian")->trigger();
            QVERIFY(w.gui->close());
        }
        QByteArray file = ReadBytes(dir.Path("Locale.ini"));
        file.replace(Cp(QStringLiteral("lblPassword=Пароль:")), Cp(QStringLiteral("lblPassword=Секрет:")));
        WriteBytes(dir.Path("Locale.ini"), file);

        TWindow w(dialogs, dir.Program());
        w.gui->show();
        QVERIFY(w.Action("miRussian")->isChecked());
        QCOMPARE(Label(w, "lblPassword"), QStringLiteral("Секрет:"));
        QCOMPARE(Label(w, "lblUserName"), QStringLiteral("Пользователь:"));
        QCOMPARE(w.SqlText(), QStringLiteral("Вас приветствует Norvane!!! Это окно для скрипта"));
    }

    void exportWritesEveryTextOfBothFormsAndTheMessages()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        QVERIFY(QTest::qWaitForWindowActive(w.gui.get()));
        // On no menu: the shortcut alone reaches it.
        for (QMenu* menu : w.gui->findChildren<QMenu*>())
            QVERIFY(!menu->actions().contains(w.Action("actCreateIntFile")));
        QTest::keyClick(w.gui.get(), Qt::Key_F3, Qt::ControlModifier);
        const QByteArray expected = Cp(QStringLiteral(
            "[Forms]\r\n"
            "frmGUI=Norvane (Scripting tool for IBExpert\u00AE Log)\r\n"
            "frmAbout=About\r\n"
            "[Labels]\r\n"
            "lblDatabaseFile=Database file:\r\n"
            "lblUserName=User name:\r\n"
            "lblPassword=Password:\r\n"
            "lblCharset=Character set:\r\n"
            "lblPeriodSince=Data changes period: since\r\n"
            "lblPeriodTo=to\r\n"
            "lblTables=Tables:\r\n"
            "lblExceptTables=but not:\r\n"
            "lblUsers=Users:\r\n"
            "lblFind=Find:\r\n"
            "lblAboutTitle=Norvane\r\n"
            "lblAboutDescription=Makes SQL scripts on IBExpert\u00AE log\r\n"
            "lblAboutVersion=Version\r\n"
            "lblAboutVersionNumber=1.1.3.2\r\n"
            "[SpeedButtons]\r\n"
            "SpeedButton1.Caption=\r\n"
            "SpeedButton1.Hint=Select Database file for creating log script\r\n"
            "[CheckBoxes]\r\n"
            "chbRememberPassword=Remember password\r\n"
            "chbIncludeComments=Include date and user comments\r\n"
            "chbDisableTriggers=Switch off the target's triggers while the script runs\r\n"
            "chbSyncGenerators=Move the target's generators up to the source's\r\n"
            "chbInserts=Inserts\r\n"
            "chbUpdates=Updates\r\n"
            "chbDeletes=Deletes\r\n"
            "[RadioButtons]\r\n"
            "rdbReproducingScript=Reproducing script\r\n"
            "rdbUndoScript=Undo script\r\n"
            "[StatusBar]\r\n"
            "frmGUI.StatusBar.0=\r\n"
            "frmGUI.StatusBar.1=\r\n"
            "[MenuItems]\r\n"
            "miFile=&File\r\n"
            "miLanguage=&Language\r\n"
            "miEnglish=&English\r\n"
            "miRussian=&Русский\r\n"
            "miHelp=&?\r\n"
            "miChangeLog=Change &log\r\n"
            "[Actions]\r\n"
            "actSelectDatabase.Hint=Select Database file for creating log script\r\n"
            "actSelectDatabase.Caption=Select &database file\r\n"
            "actExecute.Hint=Build script whith IB Expert log of the specified DB file\r\n"
            "actExecute.Caption=&Create script\r\n"
            "actApply.Hint=Apply the period's changes to a sister database (with Undo script: undo them in this "
            "one)\r\n"
            "actApply.Caption=&Apply to database...\r\n"
            "actSave.Hint=Save the editor contents to file\r\n"
            "actSave.Caption=&Save as\r\n"
            "actClose.Hint=\r\n"
            "actClose.Caption=E&xit\r\n"
            "actAbout.Hint=\r\n"
            "actAbout.Caption=&About\r\n"
            "actShowReadme.Hint=\r\n"
            "actShowReadme.Caption=R&eadme\r\n"
            "actCreateIntFile.Hint=\r\n"
            "actCreateIntFile.Caption=actCreateIntFile\r\n"
            "actCancel.Hint=Stop the run; the pages stay as they were\r\n"
            "actCancel.Caption=Cancel\r\n"
            "actFind.Hint=Find a text on the page\r\n"
            "actFind.Caption=&Find...\r\n"
            "actFindNext.Hint=\r\n"
            "actFindNext.Caption=Find &next\r\n"
            "actFindPrevious.Hint=\r\n"
            "actFindPrevious.Caption=Find &previous\r\n"
            "actLogInstall.Hint=Install the change log on the database, or bring it up to date\r\n"
            "actLogInstall.Caption=&Install or update...\r\n"
            "actLogStatus.Hint=Which tables are logged, the entries and the size of the change log\r\n"
            "actLogStatus.Caption=&Status\r\n"
            "[Messages]\r\n"));
        // Then every message of the catalogue, as the catalogue writes them.
        ExportMessages(QFile::encodeName(dir.Path("messages.ini")).toStdString());
        QByteArray messages = ReadBytes(dir.Path("messages.ini"));
        messages.remove(0, messages.indexOf("msgNoConnect="));
        const QByteArray file = ReadBytes(dir.Path("English.ini"));
        QVERIFY(!QByteArray(file).replace("\r\n", "").contains('\n'));
        QCOMPARE(WithoutBlankLines(file), WithoutBlankLines(expected + messages));
    }

    // Qt's own texts follow the language: the real save dialog.
    void qtDialogsSpeakTheChosenLanguage()
    {
        TProgramDir dir;
        TDialogs real;
        TWindow w(real, dir.Program());
        QStringList seen;
        for (const char* item : {"miRussian", "miEnglish"}) {
            w.Action(item)->trigger();
            QTimer::singleShot(0, [&] {
                auto* dialog = static_cast<QFileDialog*>(QApplication::activeModalWidget());
                seen << dialog->labelText(QFileDialog::Accept) << dialog->labelText(QFileDialog::Reject);
                dialog->reject();
            });
            w.Action("actSave")->trigger();
        }
        QCOMPARE(seen, QStringList({"Сохранить", "Отмена", "Save", "Cancel"}));
    }

    void exportWhileRussianIsActiveWritesRussian()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        WriteBytes(dir.Path("English.ini"), "[Translator]\r\nName=Olga\r\n[Labels]\r\nlblPeriodTo=old\r\n");
        w.Action("miRussian")->trigger();
        w.Action("actCreateIntFile")->trigger();
        const QString file = FromCp1251(WithoutBlankLines(ReadBytes(dir.Path("English.ini"))).toStdString());
        // Earlier content stays; existing keys are replaced in place.
        QVERIFY2(file.startsWith(QStringLiteral("[Translator]\r\nName=Olga\r\n[Labels]\r\nlblPeriodTo=по\r\n")),
                 qPrintable(file));
        QVERIFY(file.contains(QStringLiteral("\r\nfrmAbout=О программе\r\n")));
        QVERIFY(file.contains(QStringLiteral("\r\nactSave.Caption=&Сохранить как\r\n")));
        QVERIFY(file.contains(QStringLiteral("\r\nmsgUser=Пользователь\r\n")));
        QVERIFY(file.contains(QStringLiteral("\r\nmiHelp=&?\r\n")));
        QVERIFY(!file.contains(QStringLiteral("HyperLink1")));
    }
};

QTEST_MAIN(TestLanguage)
#include "test_language.moc"
