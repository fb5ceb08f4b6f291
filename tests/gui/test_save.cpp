// Saving the pages, picking the database file and the readme, on real files.
#include "GuiTestUtil.h"

#include "core/Resfuncs.h"

#include <QDialog>
#include <QFileInfo>
#include <QRegularExpression>

class TestSave : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        PinFormats();
        ResetMessages();
    }

    void savingTheSqlPageWritesLfLinesAndStoresTheName()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        qputenv("HOME", QFile::encodeName(dir.Path("")));
        TWindow w(dialogs, dir.Program());
        w.Memo("mmSQL")->setPlainText(QStringLiteral("update T\nset A = 'Ёж'\nwhere ID = 1;\n\n"));
        dialogs.fileAnswers = {dir.Path("out.sql")};
        w.Action("actSave")->trigger();
        QCOMPARE(dialogs.fileRequests.size(), 1);
        QCOMPARE(dialogs.fileRequests[0].setup.name, QStringLiteral("sdSQL"));
        QCOMPARE(dialogs.fileRequests[0].setup.title, QStringLiteral("Save SQL script as"));
        QCOMPARE(dialogs.fileRequests[0].setup.filters,
                 QStringList({"SQL-Files (*.sql)", "Text files (*.txt)"}));
        QCOMPARE(dialogs.fileRequests[0].setup.defaultSuffix, QStringLiteral("sql"));
        // Without a stored name the dialog offers the program's name with
        // ".sql", in the user's home.
        QCOMPARE(dialogs.fileRequests[0].fileName, QDir::homePath() + "/norvane.sql");
        QCOMPARE(ReadBytes(dir.Path("out.sql")),
                 "update T\nset A = '" + Cp(QStringLiteral("Ёж")) + "'\nwhere ID = 1;\n\n");
        QVERIFY(ReadBytes(dir.Settings()).contains("[Files]\r\nSQLFileName=" + dir.Path("out.sql").toUtf8() + "\r\n"));

        // The next save offers the stored name; the XML page's dialog starts
        // in its folder. A folder gone sends the dialogs home.
        dialogs.fileAnswers = {QString()};
        w.Action("actSave")->trigger();
        QCOMPARE(dialogs.fileRequests[1].fileName, dir.Path("out.sql"));
        QDir(dir.Path("")).mkdir("gone");
        dialogs.fileAnswers = {dir.Path("gone/x.sql")};
        w.Action("actSave")->trigger();
        QVERIFY(QDir(dir.Path("gone")).removeRecursively());
        dialogs.fileAnswers = {QString()};
        w.Action("actSave")->trigger();
        QCOMPARE(dialogs.fileRequests[3].fileName, QDir::homePath() + "/x.sql");
    }

    void cancellingADialogWritesNothing()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Action("actSave")->trigger();
        // Before any log is read there is no XML log to save: said, not asked.
        w.Find<QTabWidget>("PageControl")->setCurrentWidget(w.Find<QWidget>("tsXML"));
        w.Action("actSave")->trigger();
        QCOMPARE(dialogs.fileRequests.size(), 1);
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.messages[0].contains("no change log has been read"), qPrintable(dialogs.messages[0]));
        QVERIFY(!QFileInfo::exists(dir.Settings()));
        QCOMPARE(QDir(dir.Path("")).entryList(QDir::Files), QStringList());

        w.Edit("edtDatabaseFile")->setText("/data/kept.fdb");
        w.Action("actSelectDatabase")->trigger();
        QCOMPARE(w.Edit("edtDatabaseFile")->text(), QStringLiteral("/data/kept.fdb"));
    }

    void savingTheXmlPageWritesTheEnginesDocument()
    {
        TProgramDir dir;
        QString output;
        QVERIFY2(CreateDatabase(dir.Path("log.fdb"), LogTablesSql() + R"(
create table T (ID integer not null primary key);
commit;
insert into IBE$LOG_TABLES values (1, 'T', 'I', '2024-03-01 10:00:00', 'SYSDBA');
insert into IBE$LOG_KEYS values (1, 'ID', '1');
insert into IBE$LOG_FIELDS values (1, 'ID', null, '1');
)",
                                 &output),
                 qPrintable(output));
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Edit("edtDatabaseFile")->setText(dir.Path("log.fdb"));
        w.Action("actExecute")->trigger();
        QCOMPARE(dialogs.messages, QStringList());
        const QString shown = w.XmlText();
        QCOMPARE(shown.count(QStringLiteral("<Record")), 1);

        w.Memo("mmXML")->setPlainText("edited by hand");
        w.Find<QTabWidget>("PageControl")->setCurrentWidget(w.Find<QWidget>("tsXML"));
        dialogs.fileAnswers = {dir.Path("log.xml")};
        w.Action("actSave")->trigger();
        QVERIFY(dialogs.errors.isEmpty());
        const QByteArray file = ReadBytes(dir.Path("log.xml"));
        QVERIFY(!file.contains("edited by hand"));
        QCOMPARE(file.count("<Record"), 1);
        QVERIFY(ReadBytes(dir.Settings()).contains("XMLFileName=" + dir.Path("log.xml").toUtf8() + "\r\n"));
    }

    void saveErrorsShowInTheErrorBoxAndTheWindowStays()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        dialogs.fileAnswers = {dir.Path("no/such/folder/out.sql")};
        w.Action("actSave")->trigger();
        QCOMPARE(dialogs.errors.size(), 1);
        QVERIFY2(dialogs.errors[0].startsWith("Cannot create file \"" + dir.Path("no/such/folder/out.sql") + "\"."),
                 qPrintable(dialogs.errors[0]));
        QVERIFY(w.gui->isVisible());
        // The name of a save that failed is not kept.
        QVERIFY(!ReadBytes(dir.Settings()).contains("SQLFileName="));
    }

    // The readme has a window of its own; the SQL page keeps its script.
    void readmeOpensInAWindowOfItsOwn()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Memo("mmSQL")->setPlainText("my script");
        w.Action("actShowReadme")->trigger();
        auto* readme = w.gui->findChild<QDialog*>("frmReadme");
        QVERIFY(readme && readme->isVisible());
        QString english = FromCp1251(LoadResourceText(10110, "HELP"));
        QCOMPARE(readme->findChild<QPlainTextEdit*>("mmReadme")->toPlainText(), english.replace("\r\n", "\n"));
        QCOMPARE(readme->windowTitle(), QStringLiteral("Norvane readme"));
        QCOMPARE(w.SqlText(), QStringLiteral("my script"));
        // The editor wraps the paragraphs: none is broken by a line end.
        static const QRegularExpression broken("[^.:;!?)=\\-]\n +?[^\\s*\\d=-]");
        QVERIFY2(!broken.match(english).hasMatch(), qPrintable(broken.match(english).captured()));

        // It follows the language.
        w.Action("miRussian")->trigger();
        QString russian = FromCp1251(LoadResourceText(10111, "HELP"));
        QCOMPARE(readme->findChild<QPlainTextEdit*>("mmReadme")->toPlainText(), russian.replace("\r\n", "\n"));
        QCOMPARE(w.SqlText(), QStringLiteral("my script"));
    }

    void selectDatabaseTakesTheChosenFullPath()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Edit("edtDatabaseFile")->setText("server:/srv/old.gdb");
        w.gui->show();
        QVERIFY(QTest::qWaitForWindowActive(w.gui.get()));
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(dir.Path(""));
        dialogs.fileAnswers = {"chosen.fdb"};
        QTest::keyClick(w.gui.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(dialogs.fileRequests.size(), 1);
        const auto& request = dialogs.fileRequests[0];
        QCOMPARE(request.setup.name, QStringLiteral("OpenDialog1"));
        QCOMPARE(request.setup.title, QStringLiteral("Select database file for creating log script"));
        QCOMPARE(request.setup.filters,
                 QStringList({"Firebird and InterBase databases (*.fdb *.gdb)", "Interbase databases (*.gdb)",
                              "Firebird databases (*.fdb)", "All files (*)"}));
        QCOMPARE(request.fileName, QStringLiteral("server:/srv/old.gdb"));
        QCOMPARE(w.Edit("edtDatabaseFile")->text(), QFileInfo(dir.Path("chosen.fdb")).absoluteFilePath());
        QDir::setCurrent(cwd);

        // The button beside the edit does the same.
        dialogs.fileAnswers = {dir.Path("second.gdb")};
        QTest::mouseClick(w.Find<QWidget>("SpeedButton1"), Qt::LeftButton);
        QCOMPARE(w.Edit("edtDatabaseFile")->text(), dir.Path("second.gdb"));
    }

    // The editors' own items first, the window's below them.
    void contextMenuKeepsTheStandardItems()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), w.Memo("mmXML")->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w.Memo("mmXML")->viewport(), &click);
        QStringList names;
        for (QAction* a : QApplication::activePopupWidget()->actions())
            names << (a->isSeparator() ? "-" : a->objectName());
        QVERIFY(names.join(' ').endsWith("edit-copy edit-paste edit-delete - select-all - actExecute actSave actFind"));
    }

    void windowTextsCrossTheCodePageBoundary()
    {
        QCOMPARE(FromCp1251("\xC0\xFF\xA8\xB8\xB9\x88 A"), QStringLiteral("АяЁё№€ A"));
        QCOMPARE(ToCp1251(QStringLiteral("АяЁё№€ A")), std::string("\xC0\xFF\xA8\xB8\xB9\x88 A"));
        // Every byte comes back as it went, the unassigned 0x98 included.
        std::string all;
        for (int b = 1; b < 256; ++b)
            all += static_cast<char>(b);
        QCOMPARE(ToCp1251(FromCp1251(all)), all);
        // What the code page cannot hold becomes '?', one per character.
        QCOMPARE(ToCp1251(QStringLiteral("a\u4E2Db\U0001F600c")), std::string("a?b?c"));
        QCOMPARE(PathFromSetting(PathToSetting(QStringLiteral("п»ї.fdb"))), QStringLiteral("п»ї.fdb"));
    }
};

QTEST_MAIN(TestSave)
#include "test_save.moc"
