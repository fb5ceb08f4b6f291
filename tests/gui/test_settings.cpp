// The main window's first start and its settings file, on real files.
#include "GuiTestUtil.h"

#include <QComboBox>
#include <QFileInfo>
#include <QScreen>

#include <sys/mount.h>
#include <unistd.h>

namespace {

QString Today()
{
    return FromCp1251(DateToStr(Date()));
}

}  // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        PinFormats();
        ResetMessages();
    }

    void firstStartShowsDefaultsAndWelcome()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        QCOMPARE(w.gui->windowTitle(), QStringLiteral("Norvane (Scripting tool for IBExpert\u00AE Log)"));
        QCOMPARE(w.SqlText(), QStringLiteral("Welcome to Norvane!!! Here comes resulting script"));
        QCOMPARE(w.XmlText(), QString());
        QCOMPARE(w.Edit("edtDatabaseFile")->text(), QString());
        QCOMPARE(w.Edit("edtUserName")->text(), QStringLiteral("SYSDBA"));
        QCOMPARE(w.Edit("edtPassword")->text(), QStringLiteral("tollgrove"));
        QCOMPARE(w.Edit("edtPassword")->echoMode(), QLineEdit::Password);
        QVERIFY(!w.Find<QCheckBox>("chbRememberPassword")->isChecked());
        QVERIFY(w.Find<QRadioButton>("rdbReproducingScript")->isChecked());
        QVERIFY(!w.Find<QRadioButton>("rdbUndoScript")->isChecked());
        QVERIFY(w.Find<QCheckBox>("chbIncludeComments")->isChecked());
        QVERIFY(!w.Find<QCheckBox>("chbDisableTriggers")->isChecked());
        QVERIFY(!w.Find<QCheckBox>("chbSyncGenerators")->isChecked());
        QCOMPARE(w.Edit("meDateBegin")->text(), QStringLiteral("01.01.1901"));
        QCOMPARE(w.Edit("meDateEnd")->text(), Today());
        QVERIFY(w.Action("miEnglish")->isChecked());
        QVERIFY(!w.Action("miRussian")->isChecked());
        // The designed place, moved only as far as a small screen needs.
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(w.gui->pos(), QPoint(std::min(275, area.right() - 552), std::min(107, area.bottom() - 479)));
        QCOMPARE(w.gui->size(), QSize(553, 480));
        QVERIFY(w.Find<QWidget>("pnlProgressBar")->isHidden());
        QCOMPARE(w.Find<QTabWidget>("PageControl")->currentWidget(), w.Find<QWidget>("tsSQL"));
        // Nothing is written before the window closes.
        QVERIFY(!QFileInfo::exists(dir.Settings()));
    }

    void actionsCarryTheirCaptionsHintsAndShortcuts()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        struct Expected {
            const char* name;
            const char* caption;
            const char* hint;
            QKeySequence shortcut;
        };
        const Expected expected[] = {
            {"actSelectDatabase", "Select &database file", "Select Database file for creating log script",
             QKeySequence("Ctrl+O")},
            {"actExecute", "&Create script", "Build script whith IB Expert log of the specified DB file",
             QKeySequence("F9")},
            {"actApply", "&Apply to database...",
             "Apply the period's changes to a sister database (with Undo script: undo them in this one)",
             QKeySequence("Ctrl+F9")},
            {"actSave", "&Save as", "Save the editor contents to file", QKeySequence("Ctrl+S")},
            {"actClose", "E&xit", "", QKeySequence()},
            {"actAbout", "&About", "", QKeySequence()},
            {"actShowReadme", "R&eadme", "", QKeySequence()},
            {"actCreateIntFile", "actCreateIntFile", "", QKeySequence("Ctrl+F3")},
        };
        for (const Expected& e : expected) {
            QAction* a = w.Action(e.name);
            QVERIFY2(a, e.name);
            QCOMPARE(a->text(), QString::fromLatin1(e.caption));
            QCOMPARE(a->statusTip(), QString::fromLatin1(e.hint));
            QCOMPARE(a->shortcut(), e.shortcut);
            // Shortcuts work without a menu: the window itself holds the action.
            QVERIFY(w.gui->actions().contains(a));
        }
    }

    void settingsSurviveCloseAndNewWindow()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        {
            TWindow w(dialogs, dir.Program());
            w.Edit("edtDatabaseFile")->setText("127.0.0.1:/srv/db/shop.fdb");
            w.Edit("edtUserName")->setText(QStringLiteral("\u0410\u043D\u043D\u0430"));
            w.Edit("edtPassword")->setText("secret");
            w.Find<QCheckBox>("chbRememberPassword")->setChecked(true);
            w.Find<QComboBox>("cmbCharset")->setEditText("UTF8");
            w.Find<QRadioButton>("rdbUndoScript")->setChecked(true);
            w.Find<QCheckBox>("chbIncludeComments")->setChecked(false);
            w.Find<QCheckBox>("chbDisableTriggers")->setChecked(true);
            w.Find<QCheckBox>("chbSyncGenerators")->setChecked(true);
            w.Edit("meDateBegin")->setText("05.06.2021");
            w.Edit("meDateEnd")->setText("07.06.2021");
            w.Edit("meTimeBegin")->setText("14:00");
            w.Edit("meTimeEnd")->setText("15:30");
            w.Edit("edtTables")->setText("GOODS, ORDERS");
            w.Edit("edtUsers")->setText(QStringLiteral("\u0410\u041D\u041D\u0410"));
            w.Find<QCheckBox>("chbDeletes")->setChecked(false);
            w.gui->move(100, 60);
            w.gui->resize(640, 500);
            w.Action("miRussian")->setChecked(true);
            w.gui->show();
            w.Action("actClose")->trigger();
            QVERIFY(!w.gui->isVisible());
            QVERIFY(dialogs.errors.isEmpty());
        }
        const QByteArray file = ReadBytes(dir.Settings());
        QVERIFY(file.contains("[DB Access]\r\n"));
        QVERIFY(file.contains("Database file=127.0.0.1:/srv/db/shop.fdb\r\n"));
        QVERIFY(file.contains("User name=" + Cp(QStringLiteral("\u0410\u043D\u043D\u0430")) + "\r\n"));
        QVERIFY(file.contains("Password=secret\r\n"));
        QVERIFY(file.contains("Remember Password=1\r\n"));
        QVERIFY(file.contains("Character set=UTF8\r\n"));
        QVERIFY(file.contains("Reproducing=0\r\n"));
        QVERIFY(file.contains("Include Comments=0\r\n"));
        QVERIFY(file.contains("Disable Triggers=1\r\n"));
        QVERIFY(file.contains("Sync Generators=1\r\n"));
        QVERIFY(file.contains("Begin=05.06.2021\r\n"));
        QVERIFY(file.contains("English=0\r\n"));
        QVERIFY(file.contains("Russian=1\r\n"));
        QVERIFY(!file.contains("07.06.2021"));
        QVERIFY(file.contains("Begin time=14:00\r\n"));
        QVERIFY(file.contains("[Filters]\r\nTables=GOODS, ORDERS\r\nExcept tables=\r\nUsers=" +
                              Cp(QStringLiteral("\u0410\u041D\u041D\u0410")) + "\r\nOperations=IU\r\n"));
        QVERIFY(!file.contains("15:30"));
        QVERIFY(!QByteArray(file).replace("\r\n", "").contains('\n'));
        // It may hold a password: readable and writable by its owner only.
        QCOMPARE(QFileInfo(dir.Settings()).permissions(),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                     QFileDevice::WriteUser);

        TWindow again(dialogs, dir.Program());
        QCOMPARE(again.SqlText(), QString());
        QCOMPARE(again.Edit("edtDatabaseFile")->text(), QStringLiteral("127.0.0.1:/srv/db/shop.fdb"));
        QCOMPARE(again.Edit("edtUserName")->text(), QStringLiteral("\u0410\u043D\u043D\u0430"));
        QCOMPARE(again.Edit("edtPassword")->text(), QStringLiteral("secret"));
        QVERIFY(again.Find<QCheckBox>("chbRememberPassword")->isChecked());
        QCOMPARE(again.Find<QComboBox>("cmbCharset")->currentText(), QStringLiteral("UTF8"));
        QVERIFY(again.Find<QRadioButton>("rdbUndoScript")->isChecked());
        QVERIFY(!again.Find<QRadioButton>("rdbReproducingScript")->isChecked());
        QVERIFY(!again.Find<QCheckBox>("chbIncludeComments")->isChecked());
        QVERIFY(again.Find<QCheckBox>("chbDisableTriggers")->isChecked());
        QVERIFY(again.Find<QCheckBox>("chbSyncGenerators")->isChecked());
        QCOMPARE(again.Edit("meDateBegin")->text(), QStringLiteral("05.06.2021"));
        // The end of the period is today at every start.
        QCOMPARE(again.Edit("meDateEnd")->text(), Today());
        QCOMPARE(again.Edit("meTimeBegin")->text(), QStringLiteral("14:00"));
        QCOMPARE(again.Edit("meTimeEnd")->text(), QString());
        QCOMPARE(again.Edit("edtTables")->text(), QStringLiteral("GOODS, ORDERS"));
        QCOMPARE(again.Edit("edtUsers")->text(), QStringLiteral("\u0410\u041D\u041D\u0410"));
        QVERIFY(again.Find<QCheckBox>("chbUpdates")->isChecked() && !again.Find<QCheckBox>("chbDeletes")->isChecked());
        QCOMPARE(again.gui->pos(), QPoint(100, 60));
        QCOMPARE(again.gui->size(), QSize(640, 500));
        QVERIFY(again.Action("miRussian")->isChecked());
        QVERIFY(!again.Action("miEnglish")->isChecked());
    }

    // Installed for the whole system, the program's folder is not the user's
    // to write: the settings and the language file go to the user's
    // configuration folder instead, which is the user's alone.
    void unwritableProgramFolderKeepsTheFilesInTheConfigurationFolder()
    {
        TProgramDir program, home;
        const QString folder = program.Path("bin");
        QVERIFY(QDir().mkpath(folder));
        // A read-only file system refuses root too; anyone else, the mode.
        const QByteArray path = QFile::encodeName(folder);
        if (::geteuid() != 0)
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        else if (::mount("tmpfs", path.constData(), "tmpfs", MS_RDONLY, nullptr) != 0)
            QSKIP("cannot mount a read-only file system");
        const std::unique_ptr<const char, void (*)(const char*)> unmount(
            ::geteuid() == 0 ? path.constData() : nullptr, [](const char* at) { ::umount2(at, MNT_DETACH); });
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.Path("config")));
        {
            TScriptedDialogs dialogs;
            TWindow w(dialogs, folder + "/norvane");
            w.Edit("edtDatabaseFile")->setText("shop.fdb");
            w.Action("miRussian")->trigger();
            w.gui->show();
            w.Action("actClose")->trigger();
            QCOMPARE(dialogs.errors, QStringList());
        }
        qunsetenv("XDG_CONFIG_HOME");
        QVERIFY(ReadBytes(home.Path("config/norvane/norvane.ini")).contains("Database file=shop.fdb\r\n"));
        QVERIFY(QFileInfo::exists(home.Path("config/norvane/Locale.ini")));
        QCOMPARE(QFileInfo(home.Path("config/norvane")).permissions() & 0x0777, 0x0700);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList());
    }

    void uncheckedRememberPasswordRemovesTheStoredPassword()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        WriteBytes(dir.Settings(), "[DB Access]\r\nPassword=old\r\nRemember Password=1\r\n");
        {
            TWindow w(dialogs, dir.Program());
            QCOMPARE(w.Edit("edtPassword")->text(), QStringLiteral("old"));
            w.Find<QCheckBox>("chbRememberPassword")->setChecked(false);
            QVERIFY(w.gui->close());
        }
        const QByteArray file = ReadBytes(dir.Settings());
        QVERIFY(!file.contains("Password=old"));
        QVERIFY(file.contains("Remember Password=0\r\n"));
        TWindow again(dialogs, dir.Program());
        QCOMPARE(again.Edit("edtPassword")->text(), QStringLiteral("tollgrove"));
        QVERIFY(!again.Find<QCheckBox>("chbRememberPassword")->isChecked());
    }

    void languageEntriesFormOneRadioGroup()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        WriteBytes(dir.Settings(), "[Language]\r\nEnglish=0\r\nRussian=0\r\n");
        {
            TWindow w(dialogs, dir.Program());
            QVERIFY(!w.Action("miEnglish")->isChecked());
            QVERIFY(!w.Action("miRussian")->isChecked());
        }
        WriteBytes(dir.Settings(), "[Language]\r\nEnglish=1\r\nRussian=1\r\n");
        TWindow w(dialogs, dir.Program());
        QVERIFY(!w.Action("miEnglish")->isChecked());
        QVERIFY(w.Action("miRussian")->isChecked());
    }

    void unreadableValuesReadAsDefaults()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        WriteBytes(dir.Settings(), "[Form]\r\nTop=abc\r\nLeft=12\r\n[Settings]\r\nReproducing=yes\r\n"
                                   "[Period]\r\nBegin=31.02.2020\r\n[Other]\r\nKeep=me\r\n");
        {
            TWindow w(dialogs, dir.Program());
            QCOMPARE(w.gui->pos(), QPoint(12, 107));
            QVERIFY(w.Find<QRadioButton>("rdbReproducingScript")->isChecked());
            QCOMPARE(w.Edit("meDateBegin")->text(), QStringLiteral("01.01.1901"));
            QVERIFY(w.gui->close());
        }
        // Entries the window does not know stay as they were.
        QVERIFY(ReadBytes(dir.Settings()).contains("[Other]\r\nKeep=me\r\n"));

        // A place off every screen moves onto the nearest one, keeping the size
        // when it fits.
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        WriteBytes(dir.Settings(), "[Form]\r\nLeft=5000\r\nTop=3000\r\nWidth=640\r\nHeight=500\r\n");
        QCOMPARE(TWindow(dialogs, dir.Program()).gui->geometry(), QRect(area.right() - 639, area.bottom() - 499, 640, 500));
        WriteBytes(dir.Settings(), "[Form]\r\nLeft=-30000\r\nWidth=20000\r\n");
        QCOMPARE(TWindow(dialogs, dir.Program()).gui->geometry(), QRect(area.left(), 107, area.width(), 480));
        // Whole on the screen, its bottom (the status bar) too, though its
        // title bar could be reached.
        WriteBytes(dir.Settings(), "[Form]\r\nLeft=10\r\nTop=" + QByteArray::number(area.bottom() - 100) +
                                       "\r\nWidth=500\r\nHeight=400\r\n");
        TWindow low(dialogs, dir.Program());
        low.gui->show();
        QTRY_VERIFY(area.contains(low.gui->frameGeometry()));
        QCOMPARE(low.gui->frameGeometry().bottom(), area.bottom());
        QCOMPARE(low.gui->x(), 10);
    }

    // Paths are file-system bytes: they come back after a restart whatever
    // their characters; those that Windows-1251 holds are stored as before.
    void pathsComeBackAfterARestart()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        for (auto [name, beyond1251] : {std::pair{QStringLiteral("Ёлка.fdb"), QByteArray()},
                                        {QStringLiteral("jürgen.fdb"), "j\xC3\xBCrgen.fdb"},
                                        {QStringLiteral("数\U0001F600.fdb"), QStringLiteral("数\U0001F600.fdb").toUtf8()},
                                        {QStringLiteral("50%\tx.fdb "), "50%25%09x.fdb%20"}}) {
            auto w = std::make_unique<TWindow>(dialogs, dir.Program());
            w->Edit("edtDatabaseFile")->setText(dir.Path(name));
            dialogs.fileAnswers = {dir.Path(name) + ".sql"};
            w->Action("actSave")->trigger();
            QVERIFY(w->gui->close());
            const QByteArray utf8 = "\xEF\xBB\xBF" + QFileInfo(dir.Program()).path().toUtf8() + '/' + beyond1251;
            QVERIFY(ReadBytes(dir.Settings()).contains("=" + (beyond1251.isEmpty() ? Cp(dir.Path(name)) : utf8) + "\r"));
            w = std::make_unique<TWindow>(dialogs, dir.Program());
            QCOMPARE(w->Edit("edtDatabaseFile")->text(), dir.Path(name));
            w->Action("actSave")->trigger();
            QCOMPARE(dialogs.fileRequests.last().fileName, dir.Path(name) + ".sql");
        }
    }

    // Tab moves on from the editors and skips the folder button (Ctrl+O is
    // its key); Ctrl+Tab types a tab.
    void tabMovesTheFocusThroughTheWindow()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        QVERIFY(QTest::qWaitForWindowActive(w.gui.get()));
        QStringList chain{"edtDatabaseFile"};
        for (w.Edit("edtDatabaseFile")->setFocus(); chain.size() < 30; chain << QApplication::focusWidget()->objectName())
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(chain.contains("mmSQL") && chain.count("edtDatabaseFile") > 1 && !chain.contains("SpeedButton1"));
        QTest::keyClick(w.Memo("mmSQL"), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(w.SqlText(), QStringLiteral("\tWelcome to Norvane!!! Here comes resulting script"));
    }

    void beginDateThatIsNoDateKeepsTheWindowOpen()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        w.Edit("meDateBegin")->setText("31.02.2021");
        w.Action("actClose")->trigger();
        QVERIFY(w.gui->isVisible());
        QCOMPARE(dialogs.errors, QStringList());
        QCOMPARE(dialogs.messages, QStringList{"The start of the period is not a valid date. Type it as in this example: "
                                               "31.12." + QString::number(QDate::currentDate().year())});
        // The settings were written up to the period; the language was not.
        const QByteArray file = ReadBytes(dir.Settings());
        QVERIFY(file.contains("Reproducing=1\r\n"));
        QVERIFY(!file.contains("[Period]"));
        QVERIFY(!file.contains("[Language]"));

        w.Edit("meDateBegin")->setText("01.02.2021");
        w.Action("actClose")->trigger();
        QVERIFY(!w.gui->isVisible());
        QVERIFY(ReadBytes(dir.Settings()).contains("Begin=01.02.2021\r\n"));
    }

    void dateEditsTakeDayMonthAndFourDigitYear()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        QLineEdit* begin = w.Edit("meDateBegin");
        QCOMPARE(begin->inputMask(), QStringLiteral("99.99.9999;_"));
        begin->clear();
        begin->setCursorPosition(0);
        QTest::keyClicks(begin, "2802x1999");
        QCOMPARE(begin->text(), QStringLiteral("28.02.1999"));

        // A locale with the year first and a dash.
        TFormatSettings iso;
        iso.order[0] = 'Y';
        iso.order[1] = 'M';
        iso.order[2] = 'D';
        iso.DateSeparator = '-';
        SetFormatSettings(&iso);
        TWindow other(dialogs, dir.Path("other"));
        QCOMPARE(other.Edit("meDateBegin")->inputMask(), QStringLiteral("9999-99-99;_"));
        QCOMPARE(other.Edit("meDateBegin")->text(), QStringLiteral("1901-01-01"));
    }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
