// Bad input in the window, end to end: databases that cannot be opened or
// hold a broken change log, dates that are no dates, files that cannot be
// saved, settings and language files full of garbage. Each gives the user a
// clear text, the window stays, and no file is left half-written.
#include "GuiTestUtil.h"

#include "app/Createexcfile.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <random>

namespace {

const QString kNoConnect = QStringLiteral("Can't connect to the specified database file.");
const QString kNoLog =
    QStringLiteral("Extracting log data error. Make shure Your database has IB Expert Log structures.");

QByteArray Noise(std::uint32_t seed, int size)
{
    std::mt19937 rng(seed);
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng());
    return bytes;
}

// The names in a folder, to tell that nothing was left beside a file.
QSet<QString> Names(const QString& folder)
{
    QSet<QString> names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    while (it.hasNext())
        names << QFileInfo(it.next()).fileName();
    return names;
}

QString ServerLocation(const QString& file)
{
    return qEnvironmentVariable("NORVANE_TEST_SERVER") + ':' + qEnvironmentVariable("NORVANE_TEST_SERVER_DIR") + '/' +
           file;
}

}  // namespace

class TestBadInput : public QObject {
    Q_OBJECT

    // Runs "Create script" on the database with the password and expects the
    // one message; both pages are emptied and no report is written.
    void ExpectMessage(const QString& database, const QString& password, const QString& message,
                       const QString& reason = {})
    {
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Memo("mmSQL")->setPlainText("earlier script");
        w.Memo("mmXML")->setPlainText("earlier log");
        w.Edit("edtDatabaseFile")->setText(database);
        w.Edit("edtPassword")->setText(password);
        w.Action("actExecute")->trigger();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].section('\n', 0, 0), message);
        QVERIFY2(dialogs.messages[0].contains(reason), qPrintable(dialogs.messages[0]));
        QCOMPARE(dialogs.errors, QStringList());
        // No page keeps the earlier script, which a save could take for this run's.
        QCOMPARE(w.SqlText(), QString());
        QCOMPARE(w.XmlText(), QString());
        QVERIFY(w.Find<QWidget>("pnlProgressBar")->isHidden());
        QVERIFY(w.Action("actExecute")->isEnabled());
        QVERIFY(!QFileInfo::exists(dir.Path("Exception.txt")));
    }

    // A log database: the log tables, a table T, and the SQL; empty when
    // isql could not make it.
    QString LogDatabase(const QString& name, const QString& sql)
    {
        QString output;
        const QString path = dir.Path(name);
        if (!CreateDatabase(path, LogTablesSql() + "create table T (ID integer not null primary key);\ncommit;\n" + sql,
                            &output)) {
            qWarning("%s", qPrintable(output));
            return {};
        }
        return path;
    }

private slots:
    void initTestCase() { PinFormats(); }
    void init() { ResetMessages(); }

    void refusedDatabaseShowsNoConnect_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("needsServer");
        QTest::addColumn<QString>("reason");

        QDir(dir.Path("")).mkpath("folder.fdb");
        WriteBytes(dir.Path("noise.fdb"), Noise(5, 64 * 1024));
        const QString missing = dir.Path(QStringLiteral("jürgen/missing.fdb"));
        QTest::newRow("missing file") << missing << "masterkey" << false
                                      << "for file \"" + missing + "\"\nError while trying to open file\nNo such file";
        QTest::newRow("directory") << dir.Path("folder.fdb") << "masterkey" << false << "Is a directory";
        QTest::newRow("random bytes") << dir.Path("noise.fdb") << "masterkey" << false << "is not a valid database";
        // Nothing listens on port 1.
        QTest::newRow("server down") << "127.0.0.1/1:/var/lib/none.fdb"
                                     << "masterkey" << false << "Failed to establish a connection.";
        QTest::newRow("wrong password") << ServerLocation("none.fdb") << "not the password" << true
                                        << "user name and password are not defined";
    }

    void refusedDatabaseShowsNoConnect()
    {
        QFETCH(QString, database);
        QFETCH(QString, password);
        QFETCH(bool, needsServer);
        QFETCH(QString, reason);
        if (needsServer && qEnvironmentVariableIsEmpty("NORVANE_TEST_SERVER")) {
            if (qEnvironmentVariable("CI") == QLatin1String("true"))
                QFAIL("NORVANE_TEST_SERVER is not set under CI");
            QSKIP("NORVANE_TEST_SERVER is not set (scripts/fbserver.sh starts a server)");
        }
        ExpectMessage(database, password, kNoConnect, reason);
    }

    void brokenLogShowsNoLog_data()
    {
        QTest::addColumn<QString>("database");
        const QString entry = "insert into IBE$LOG_TABLES (ID, TABLE_NAME, OPERATION, DATE_TIME) "
                              "values (1, 'T', 'I', '2024-03-01 10:00:00');\n";
        QTest::newRow("entries without USER_NAME")
            << LogDatabase("nouser.fdb", "alter table IBE$LOG_TABLES drop USER_NAME;\ncommit;\n" + entry);
        QTest::newRow("fields without OLD_VALUE")
            << LogDatabase("noold.fdb", "alter table IBE$LOG_FIELDS drop OLD_VALUE;\ncommit;\n" + entry);
        QTest::newRow("keys without KEY_VALUE")
            << LogDatabase("nokey.fdb", "alter table IBE$LOG_KEYS drop KEY_VALUE;\ncommit;\n" + entry);
    }

    void brokenLogShowsNoLog()
    {
        QFETCH(QString, database);
        QVERIFY(!database.isEmpty());
        ExpectMessage(database, "masterkey", kNoLog);
    }

    // The run stops at the entry, which no statement can be made of: the
    // message names it, and the pages are emptied.
    void missingOperationIsRefused_data()
    {
        QTest::addColumn<QString>("database");
        QTest::newRow("null") << LogDatabase(
            "nullop.fdb", "insert into IBE$LOG_TABLES values (1, 'T', null, '2024-03-01 10:00:00', 'SYSDBA');\n");
        QTest::newRow("empty") << LogDatabase(
            "emptyop.fdb", "insert into IBE$LOG_TABLES values (1, 'T', '', '2024-03-01 10:00:00', 'SYSDBA');\n");
    }

    void missingOperationIsRefused()
    {
        QFETCH(QString, database);
        QVERIFY(!database.isEmpty());
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Memo("mmSQL")->setPlainText("earlier script");
        w.Edit("edtDatabaseFile")->setText(database);
        w.Edit("meDateBegin")->setText("01.01.2024");
        w.Action("actExecute")->trigger();

        QCOMPARE(dialogs.messages, QStringList{"Log entry 1, table 'T': it has no operation letter, so no statement "
                                               "is made of it"});
        QVERIFY(!QFile::exists(dir.Path("Exception.txt")));
        QCOMPARE(w.SqlText(), QString());
        QVERIFY(w.Find<QWidget>("pnlProgressBar")->isHidden());
    }

    // A date field that holds no date (blank, impossible, letters pasted in)
    // is the user's mistake: the message names the field and the form, the
    // focus goes there; the engine is not run and no report is written.
    void dateMistakeNamesTheField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reported");
        const QString example = " Type it as in this example: 31.12." + QString::number(QDate::currentDate().year());
        QTest::newRow("begin blank") << "meDateBegin" << "" << "The start of the period is not a valid date." + example;
        QTest::newRow("begin all letters") << "meDateBegin"
                                           << "ab.cd.efgh"
                                           << "The start of the period is not a valid date." + example;
        QTest::newRow("end impossible") << "meDateEnd"
                                        << "31.02.2024"
                                        << "The end of the period is not a valid date." + example;
        // The end is today.
        QTest::newRow("begin after end") << "meDateBegin" << "01.01.2999"
                                         << "The period starts after it ends: 01.01.2999 is later than " +
                                                FromCp1251(DateToStr(Date())) + ".";
        QTest::newRow("no database") << "edtDatabaseFile" << " "
                                     << "Type the database's location (its file, or host:path on a server) or pick "
                                        "its file (Ctrl+O).";
    }

    void dateMistakeNamesTheField()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, reported);
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        QVERIFY(QTest::qWaitForWindowActive(w.gui.get()));
        // A missing database too: had the engine run, the message would be
        // the refused connection.
        w.Edit("edtDatabaseFile")->setText(dir.Path("missing.fdb"));
        QLineEdit* edit = w.Edit(field.toLatin1().constData());
        edit->setText(text);
        QTest::keyClick(w.gui.get(), Qt::Key_F9);
        QCOMPARE(dialogs.messages, QStringList{reported});
        QCOMPARE(dialogs.kinds, QList<TMessageKind>{TMessageKind::Warning});
        QCOMPARE(QApplication::focusWidget(), edit);
        QVERIFY(!QFileInfo::exists(dir.Path("Exception.txt")));
    }

    // A failed save shows the reason in the error box; an earlier file of the
    // name stays as it was, and nothing is left beside it.
    void unwritableSaveShowsTheErrorAndKeepsTheFile_data()
    {
        QTest::addColumn<bool>("sqlPage");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("error");

        WriteBytes(dir.Path("plain.txt"), "a file, not a folder");
        QDir(dir.Path("")).mkpath("folder.sql");
        QDir(dir.Path("")).mkpath("folder.xml");
        QVERIFY(!LogDatabase("save.fdb", QString()).isEmpty());
        // Paths below a regular file cannot be made even by root.
        QTest::newRow("sql below a file") << true << dir.Path("plain.txt/out.sql")
                                          << "Cannot create file \"" + dir.Path("plain.txt/out.sql") +
                                                 "\". Not a directory";
        QTest::newRow("sql onto a folder") << true << dir.Path("folder.sql")
                                           << "Cannot create file \"" + dir.Path("folder.sql") + "\". Is a directory";
        QTest::newRow("xml below a file") << false << dir.Path("plain.txt/out.xml")
                                          << "Cannot create file \"" + dir.Path("plain.txt/out.xml") +
                                                 "\". Not a directory";
        QTest::newRow("xml onto a folder") << false << dir.Path("folder.xml")
                                           << "Cannot create file \"" + dir.Path("folder.xml") + "\". Is a directory";
        QTest::newRow("xml in a missing folder") << false << dir.Path("no/such/out.xml")
                                                 << "Cannot create file \"" + dir.Path("no/such/out.xml") +
                                                        "\". No such file or directory";
    }

    void unwritableSaveShowsTheErrorAndKeepsTheFile()
    {
        QFETCH(bool, sqlPage);
        QFETCH(QString, target);
        QFETCH(QString, error);
        const QSet<QString> before = Names(dir.Path(""));
        const QByteArray plain = ReadBytes(dir.Path("plain.txt"));

        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Path("saver"));
        w.gui->show();
        if (!sqlPage) {
            // The XML page saves the log of a run.
            w.Edit("edtDatabaseFile")->setText(dir.Path("save.fdb"));
            w.Action("actExecute")->trigger();
            w.Find<QTabWidget>("PageControl")->setCurrentIndex(1);
        }
        w.Memo("mmSQL")->setPlainText("select 1 from rdb$database;");
        dialogs.fileAnswers = {target};
        w.Action("actSave")->trigger();
        QCOMPARE(dialogs.errors, QStringList{error});
        QCOMPARE(dialogs.messages, QStringList());
        QVERIFY(w.gui->isVisible());

        QCOMPARE(ReadBytes(dir.Path("plain.txt")), plain);
        QVERIFY(QFileInfo(dir.Path("folder.sql")).isDir());
        QVERIFY(QFileInfo(dir.Path("folder.xml")).isDir());
        QVERIFY(Names(dir.Path("folder.sql")).isEmpty());
        QVERIFY(Names(dir.Path("folder.xml")).isEmpty());
        // No new file: the name of a failed save is not kept.
        QCOMPARE(Names(dir.Path("")), before);
    }

    // A settings file of random bytes (NULs, line breaks, brackets and '='
    // among them) reads as the defaults; closing stores the window's state
    // readably in it, and the next start reads it back.
    void garbageSettingsReadAsDefaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("random bytes") << Noise(11, 16 * 1024);
        QByteArray lines;
        for (int i = 0; i < 200; ++i)
            lines += Noise(static_cast<std::uint32_t>(i), 40).replace('\0', '[') + "\r\n";
        QTest::newRow("random lines") << lines;
        QTest::newRow("sections of garbage")
            << QByteArray("[DB Access]\r\nUser name\r\n=\r\n[Form]\r\nTop=\xFF\xFE\r\nWidth=-\r\nHeight=99999999999999999999\r\n"
                          "[Period]\r\nBegin=ab.cd.efgh\r\n[Language]\r\nRussian=\x01\r\n[\r\n]=]\r\n");
    }

    void garbageSettingsReadAsDefaults()
    {
        QFETCH(QByteArray, content);
        TProgramDir program;
        TScriptedDialogs dialogs;
        WriteBytes(program.Settings(), content);
        {
            TWindow w(dialogs, program.Program());
            QCOMPARE(w.Edit("meDateBegin")->text(), QStringLiteral("01.01.1901"));
            QVERIFY(w.Find<QRadioButton>("rdbReproducingScript")->isChecked());
            QVERIFY(w.Action("miEnglish")->isChecked());
            QVERIFY(!w.Action("miRussian")->isChecked());
            QVERIFY(w.gui->width() > 0 && w.gui->width() < 100000);
            w.Edit("edtUserName")->setText(QStringLiteral("ИВАН"));
            w.Edit("meDateBegin")->setText("02.03.2004");
            QVERIFY(w.gui->close());
        }
        QCOMPARE(dialogs.messages, QStringList());
        QCOMPARE(dialogs.errors, QStringList());
        TWindow again(dialogs, program.Program());
        QCOMPARE(again.Edit("edtUserName")->text(), QStringLiteral("ИВАН"));
        QCOMPARE(again.Edit("meDateBegin")->text(), QStringLiteral("02.03.2004"));
    }

    // A language file of garbage: the window starts, relabels what the file
    // names and keeps the rest, and still makes scripts and says why not.
    void garbageLanguageFileKeepsTheWindowWorking_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("random bytes") << Noise(21, 16 * 1024);
        QTest::newRow("binary values") << QByteArray("[Messages]\r\nmsgNoConnect=\x01\x02\x98\xFF\r\n"
                                                     "[frmGUI]\r\nCaption=\x7F\x98\r\nlblUserName.Caption=\r\n"
                                                     "[frmGUI");
    }

    void garbageLanguageFileKeepsTheWindowWorking()
    {
        QFETCH(QByteArray, content);
        TProgramDir program;
        TScriptedDialogs dialogs;
        WriteBytes(program.Settings(), "[Language]\r\nEnglish=0\r\nRussian=1\r\n");
        WriteBytes(program.Path("Locale.ini"), content);
        TWindow w(dialogs, program.Program());
        w.gui->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.gui.get()));
        QVERIFY(w.Action("miRussian")->isChecked());
        QCOMPARE(dialogs.errors, QStringList());

        w.Edit("edtDatabaseFile")->setText(program.Path("missing.fdb"));
        w.Action("actExecute")->trigger();
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(!dialogs.messages[0].isEmpty());
        QVERIFY(w.Find<QWidget>("pnlProgressBar")->isHidden());
        // The language file stays as the user left it.
        QCOMPARE(ReadBytes(program.Path("Locale.ini")), content);
        QVERIFY(w.gui->close());
    }

    // A settings file that cannot be written (here a folder in its place,
    // which stops root too) is reported when the window closes, and the
    // window closes all the same; a begin date that is no date still keeps
    // it open until mended.
    void unwritableSettingsFileLetsTheWindowClose()
    {
        TProgramDir program;
        QVERIFY(QDir(program.Path("")).mkdir("norvane.ini"));
        TScriptedDialogs dialogs;
        TWindow w(dialogs, program.Program());
        w.gui->show();
        QCOMPARE(w.Edit("edtUserName")->text(), QStringLiteral("SYSDBA"));
        const QString error = "Cannot create file \"" + program.Settings() + "\". Is a directory";

        w.Edit("meDateBegin")->setText("31.02.2021");
        w.Action("actClose")->trigger();
        QVERIFY(w.gui->isVisible());
        QCOMPARE(dialogs.errors, QStringList{error});

        w.Edit("meDateBegin")->setText("01.02.2021");
        w.Action("actClose")->trigger();
        QVERIFY(!w.gui->isVisible());
        QCOMPARE(dialogs.errors, (QStringList{error, error}));
        QVERIFY(QFileInfo(program.Settings()).isDir());
        QVERIFY(Names(program.Settings()).isEmpty());
    }

private:
    TProgramDir dir;
};

QTEST_MAIN(TestBadInput)
#include "test_bad_input.moc"
