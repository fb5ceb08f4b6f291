// Making a script in the window: real databases on the embedded engine, the
// engine, the pages, the messages and the report file.
#include "GuiTestUtil.h"

#include "app/Createexcfile.h"

#include "app/Statusbar.h"
#include "app/Textview.h"
#include "db/Tdbmanager.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <QProgressBar>
#include <QRegularExpression>

#include <algorithm>

#include <signal.h>
#include <unistd.h>

namespace {

// A customer table and its log: three entries inside 01.03.2024-02.03.2024,
// the last at 23:59:59.9999; one at 00:00:00 of the day after (outside: the
// end is that very moment, which belongs to the next day), one a second later
// and one a second before the begin (outside too).
QString ShopSql()
{
    return LogTablesSql() + QStringLiteral(R"(
create table CUSTOMER (ID integer not null primary key, NAME varchar(40));
commit;
insert into IBE$LOG_TABLES values (1, 'CUSTOMER', 'I', '2024-03-01 10:00:00', 'SYSDBA');
insert into IBE$LOG_KEYS values (1, 'ID', '1');
insert into IBE$LOG_FIELDS values (1, 'ID', null, '1');
insert into IBE$LOG_FIELDS values (1, 'NAME', null, 'Иван');
insert into IBE$LOG_TABLES values (2, 'CUSTOMER', 'U', '2024-03-02 23:59:00', 'ANNA');
insert into IBE$LOG_KEYS values (2, 'ID', '1');
insert into IBE$LOG_FIELDS values (2, 'NAME', 'Иван', 'Пётр');
insert into IBE$LOG_TABLES values (3, 'CUSTOMER', 'D', '2024-03-02 23:59:59.9999', 'ANNA');
insert into IBE$LOG_TABLES values (6, 'CUSTOMER', 'I', '2024-03-03 00:00:00', 'ANNA');
insert into IBE$LOG_KEYS values (6, 'ID', '6');
insert into IBE$LOG_FIELDS values (6, 'ID', null, '6');
insert into IBE$LOG_KEYS values (3, 'ID', '7');
insert into IBE$LOG_FIELDS values (3, 'ID', '7', null);
insert into IBE$LOG_FIELDS values (3, 'NAME', 'O''Brien', null);
insert into IBE$LOG_TABLES values (4, 'CUSTOMER', 'I', '2024-03-03 00:00:01', 'SYSDBA');
insert into IBE$LOG_KEYS values (4, 'ID', '9');
insert into IBE$LOG_FIELDS values (4, 'ID', null, '9');
insert into IBE$LOG_TABLES values (5, 'CUSTOMER', 'I', '2024-02-29 23:59:59', 'SYSDBA');
insert into IBE$LOG_KEYS values (5, 'ID', '5');
insert into IBE$LOG_FIELDS values (5, 'ID', null, '5');
)");
}

const QString kReproducing = QStringLiteral(
    "/* 01.03.2024 10:00:00   Login: SYSDBA */\n"
    "insert into CUSTOMER\n(ID, NAME)\nvalues (1, 'Иван');\n\n"
    "/* 02.03.2024 23:59:00   Login: ANNA */\n"
    "update CUSTOMER\nset NAME = 'Пётр'\nwhere ID = 1;\n\n"
    "/* 02.03.2024 23:59:59   Login: ANNA */\n"
    "delete from CUSTOMER\nwhere ID = 7;\n\n");

const QString kUndoWithoutComments = QStringLiteral(
    "insert into CUSTOMER\n(ID, NAME)\nvalues (7, 'O''Brien');\n\n"
    "update CUSTOMER\nset NAME = 'Иван'\nwhere ID = 1;\n\n"
    "delete from CUSTOMER\nwhere ID = 1;\n\n");

}  // namespace

class TestScript : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        PinFormats();
        QString output;
        QVERIFY2(CreateDatabase(dir.Path("shop.fdb"), ShopSql(), &output), qPrintable(output));
    }
    void init() { ResetMessages(); }

    void createsBothScriptsAndTheXmlLog()
    {
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        QVERIFY(QTest::qWaitForWindowActive(w.gui.get()));
        w.Edit("edtDatabaseFile")->setText(dir.Path("shop.fdb"));
        w.Edit("edtPassword")->setText("");
        w.Edit("meDateBegin")->setText("01.03.2024");
        w.Edit("meDateEnd")->setText("02.03.2024");
        QTest::keyClick(w.gui.get(), Qt::Key_F9);
        QCOMPARE(dialogs.messages, QStringList());
        QCOMPARE(w.SqlText(), kReproducing);
        // The XML page is filled when it is first shown.
        QVERIFY(w.Memo("mmXML")->document()->isEmpty());
        const QString xml = w.XmlText();
        QVERIFY2(xml.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"Windows-1251\"")), qPrintable(xml));
        QCOMPARE(xml.count(QStringLiteral("<Record")), 3);
        QVERIFY(xml.contains(QStringLiteral("Пётр")));
        QVERIFY(!xml.contains(QLatin1Char('\r')));
        QVERIFY(w.Find<QWidget>("pnlProgressBar")->isHidden());
        QVERIFY(w.Action("actExecute")->isEnabled());
        QCOMPARE(w.Find<TStatusBar>("StatusBar")->Panel(0)->text(), QStringLiteral("3 log entries read"));
        // The run let go of the database: another program opens it (the
        // embedded engine refuses a file another process holds).
        QCOMPARE(TDBManager::GetInstance().GetState(), dbsDisconnected);
        QProcess isql;
        isql.start("isql-fb", {"-q", "-u", "SYSDBA", dir.Path("shop.fdb")});
        isql.write("select count(*) from ibe$log_tables;\n");
        isql.closeWriteChannel();
        QVERIFY(isql.waitForFinished(60000));
        QVERIFY2(isql.exitCode() == 0 && isql.readAllStandardOutput().contains("6"), isql.readAllStandardError());

        // Undo: newest first; without comments.
        w.Find<QRadioButton>("rdbUndoScript")->setChecked(true);
        w.Find<QCheckBox>("chbIncludeComments")->setChecked(false);
        w.Action("actExecute")->trigger();
        QCOMPARE(w.SqlText(), kUndoWithoutComments);
        // The XML log lists the records in log order whatever the script.
        QVERIFY(w.XmlText().indexOf(QStringLiteral("Иван")) < w.XmlText().indexOf(QStringLiteral("O'Brien")));
        QCOMPARE(dialogs.messages, QStringList());

        // The same statements between the switching off and on of the
        // target's triggers.
        w.Find<QCheckBox>("chbDisableTriggers")->setChecked(true);
        w.Action("actExecute")->trigger();
        QVERIFY(w.SqlText().startsWith(QStringLiteral("/* The target's own triggers")));
        QVERIFY(w.SqlText().contains(QStringLiteral("commit;\n\n") + kUndoWithoutComments + "commit;\n"));
    }

    // A UTF8 database: its texts need the character set UTF8, which both
    // pages then show whole, and in which the SQL page is saved.
    void utf8DatabaseReadInItsCharacterSet()
    {
        const QString text = QStringLiteral("Ελληνικά 日本 😀 Ёж");
        QVERIFY(CreateDatabase(dir.Path("utf8.fdb"),
                               LogTablesSql() + "create table T (ID integer, NAME varchar(40));\n"
                               "insert into IBE$LOG_TABLES values (1, 'T', 'I', '2024-03-01 10:00:00', 'SYSDBA');\n"
                               "insert into IBE$LOG_FIELDS values (1, 'NAME', null, '" + text + "');\n",
                               nullptr, "UTF8"));
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Edit("edtDatabaseFile")->setText(dir.Path("utf8.fdb"));
        w.Edit("meDateBegin")->setText("01.03.2024");
        w.Edit("meDateEnd")->setText("01.03.2024");
        w.Action("actExecute")->trigger();
        QVERIFY(dialogs.messages.value(0).startsWith("A logged value cannot be read in the character set WIN1251: "
                                                     "choose UTF8"));
        w.Find<QComboBox>("cmbCharset")->setEditText("utf8");
        w.Action("actExecute")->trigger();
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(w.SqlText().endsWith("values ('" + text + "');\n\n"));
        QVERIFY(w.XmlText().startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"")));
        QVERIFY(w.XmlText().contains(text));
        dialogs.fileAnswers = {dir.Path("utf8.sql")};
        w.Action("actSave")->trigger();
        QVERIFY(ReadBytes(dir.Path("utf8.sql")).endsWith("values ('" + text.toUtf8() + "');\n\n"));
    }

    void periodWithoutEntriesGivesTheNoRecordsText()
    {
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Edit("edtDatabaseFile")->setText(dir.Path("shop.fdb"));
        w.Edit("meDateBegin")->setText("01.01.2020");
        w.Edit("meDateEnd")->setText("31.12.2020");
        w.Action("actExecute")->trigger();
        QCOMPARE(w.SqlText(), QStringLiteral("/* Log has no matched records for specified period */"));
    }

    void refusedConnectionShowsNoConnect()
    {
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Memo("mmSQL")->setPlainText("earlier script");
        w.Edit("edtDatabaseFile")->setText(dir.Path("missing/none.fdb"));
        w.Action("actExecute")->trigger();
        QCOMPARE(dialogs.messages.value(0).section('\n', 0, 0), "Can't connect to the specified database file.");
        QCOMPARE(w.SqlText(), QString());
        QVERIFY(w.Find<QWidget>("pnlProgressBar")->isHidden());
        QVERIFY(!QFileInfo::exists(dir.Path("Exception.txt")));
    }

    void databaseWithoutLogShowsNoLog()
    {
        QString output;
        QVERIFY2(CreateDatabase(dir.Path("plain.fdb"), "create table T (ID integer);", &output), qPrintable(output));
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Edit("edtDatabaseFile")->setText(dir.Path("plain.fdb"));
        w.Action("actExecute")->trigger();
        QCOMPARE(dialogs.messages,
                 QStringList{"Extracting log data error. Make shure Your database has IB Expert Log structures."});
        // A failed run lets go of the database too.
        QCOMPARE(TDBManager::GetInstance().GetState(), dbsDisconnected);
    }

    void unknownOperationIsRefused()
    {
        QString output;
        QVERIFY2(CreateDatabase(dir.Path("odd.fdb"), LogTablesSql() + R"(
create table T (ID integer not null primary key);
commit;
insert into IBE$LOG_TABLES values (1, 'T', 'X', '2024-03-01 10:00:00', 'SYSDBA');
insert into IBE$LOG_KEYS values (1, 'ID', '1');
)",
                                 &output),
                 qPrintable(output));
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Edit("edtDatabaseFile")->setText(dir.Path("odd.fdb"));
        w.Action("actExecute")->trigger();
        QCOMPARE(dialogs.messages, QStringList{"Log entry 1, table 'T': its operation letter 'X' is none of I, U "
                                               "and D, so no statement is made of it"});
        QVERIFY(!QFile::exists(dir.Path("Exception.txt")));
        QVERIFY(w.Find<QWidget>("pnlProgressBar")->isHidden());
    }

    // A log id that is no number is no failure the window foresees.
    void unforeseenFailureWritesTheReport()
    {
        QString output;
        QVERIFY2(CreateDatabase(dir.Path("text-id.fdb"), R"(
create table IBE$LOG_TABLES (ID varchar(10), TABLE_NAME varchar(67), OPERATION varchar(1), DATE_TIME timestamp,
    USER_NAME varchar(67));
create table IBE$LOG_FIELDS (LOG_TABLES_ID varchar(10), FIELD_NAME varchar(67), OLD_VALUE varchar(255),
    NEW_VALUE varchar(255));
create table IBE$LOG_KEYS (LOG_TABLES_ID varchar(10), KEY_FIELD varchar(67), KEY_VALUE varchar(255));
commit;
insert into IBE$LOG_TABLES values ('x1', 'T', 'I', '2024-03-01 10:00:00', 'SYSDBA');
)",
                                 &output),
                 qPrintable(output));
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Edit("edtDatabaseFile")->setText(dir.Path("text-id.fdb"));
        w.Action("actExecute")->trigger();

        const QString report = dir.Path("Exception.txt");
        const QByteArray file = ReadBytes(report);
        static const QRegularExpression stamp(
            "^'x1' is not a valid integer value\r\n\\d\\d\\.\\d\\d\\.\\d{4}( \\d\\d:\\d\\d:\\d\\d)?\n\r\n$");
        QVERIFY2(stamp.match(QString::fromLatin1(file)).hasMatch(), file.constData());
        QCOMPARE(dialogs.messages,
                 QStringList{"Sorry, unforeseen exception has occured.\nIts text saved to " + report +
                             ".\nPlease send this file to product developer by e-mail: " + kSupportMail +
                             "\nThank You"});
        QVERIFY(w.Find<QWidget>("pnlProgressBar")->isHidden());
        QFile::remove(report);
    }

    void reportIsInRussianWhenRussianIsChosen()
    {
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Action("miRussian")->setChecked(true);
        // text-id.fdb: made by unforeseenFailureWritesTheReport, which runs first.
        w.Edit("edtDatabaseFile")->setText(dir.Path("text-id.fdb"));
        w.Action("actExecute")->trigger();
        const QByteArray file = ReadBytes(dir.Path("Exception.txt"));
        QVERIFY2(file.startsWith("'x1' is not a valid integer value\r\n"), file.constData());
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.messages[0].startsWith(QStringLiteral("Извините, получено непредусмотренное исключение.\n"
                                                               "Его текст сохранен в ") +
                                                dir.Path("Exception.txt")),
                 qPrintable(dialogs.messages[0]));
        QVERIFY(dialogs.messages[0].endsWith(QStringLiteral("\nСпасибо")));
        QFile::remove(dir.Path("Exception.txt"));
    }

    void valueWithoutSqlFormIsShownAndLeavesTheScriptEmpty()
    {
        QString output;
        QVERIFY2(CreateDatabase(dir.Path("blob.fdb"), LogTablesSql() + R"(
create table DOC (ID integer not null primary key, BODY integer[3]);
commit;
insert into IBE$LOG_TABLES values (1, 'DOC', 'I', '2024-03-01 10:00:00', 'SYSDBA');
insert into IBE$LOG_KEYS values (1, 'ID', '1');
insert into IBE$LOG_FIELDS values (1, 'ID', null, '1');
insert into IBE$LOG_FIELDS values (1, 'BODY', null, 'text');
)",
                                 &output),
                 qPrintable(output));
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        // The message comes once the run is over: no progress bar behind it,
        // and the window can close.
        bool progressShown = true;
        bool closed = false;
        dialogs.onMessage = [&](const QString&) {
            progressShown = w.Find<QWidget>("pnlProgressBar")->isVisible();
            closed = w.gui->close();
        };
        w.Edit("edtDatabaseFile")->setText(dir.Path("blob.fdb"));
        w.Action("actExecute")->trigger();
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.messages[0].contains("DOC") && dialogs.messages[0].contains("BODY") &&
                     dialogs.messages[0].endsWith("SQL type: ARRAY"),
                 qPrintable(dialogs.messages[0]));
        QCOMPARE(dialogs.kinds, QList<TMessageKind>{TMessageKind::Warning});
        QCOMPARE(w.SqlText(), QString());
        QCOMPARE(w.XmlText(), QString());
        QVERIFY(!progressShown);
        QVERIFY(closed);
        QVERIFY(QFileInfo::exists(dir.Settings()));
        QFile::remove(dir.Settings());
    }

    // 1500 inserts into T, logged on 01.03.2024.
    void MakeLongLog()
    {
        if (QFileInfo::exists(dir.Path("long.fdb")))
            return;
        QString output;
        QVERIFY2(CreateDatabase(dir.Path("long.fdb"), LogTablesSql() + R"(
create table T (ID integer not null primary key);
commit;
set term ^;
execute block as
  declare i integer = 1;
begin
  while (i <= 1500) do begin
    insert into IBE$LOG_TABLES values (:i, 'T', 'I', '2024-03-01 10:00:00', 'SYSDBA');
    insert into IBE$LOG_KEYS values (:i, 'ID', :i);
    insert into IBE$LOG_FIELDS values (:i, 'ID', null, :i);
    i = i + 1;
  end
end^
set term ;^
)",
                                 &output),
                 qPrintable(output));
    }

    void progressBarMovesOnlyWhenThePercentageChanges()
    {
        MakeLongLog();
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        auto* bar = w.Find<QProgressBar>("ProgressBar1");
        QList<int> values;
        bool shownWhileMoving = true;
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
            values << value;
            shownWhileMoving = shownWhileMoving && w.Find<QWidget>("pnlProgressBar")->isVisible();
        });
        w.Edit("edtDatabaseFile")->setText(dir.Path("long.fdb"));
        w.Action("actExecute")->trigger();
        QCOMPARE(dialogs.messages, QStringList());
        QCOMPARE(w.SqlText().count(QStringLiteral("insert into T")), 1500);
        // 0 at the start, then only forward, a few times a second: never one
        // repaint per entry.
        QVERIFY(values.size() <= 101);
        QCOMPARE(values.first(), 0);
        QVERIFY(std::is_sorted(values.begin(), values.end()) && values.last() <= 100);
        QVERIFY(shownWhileMoving);
        QVERIFY(w.Find<QWidget>("pnlProgressBar")->isHidden());
    }

    // Cancel (Esc) ends a run and leaves the pages as they were; closing the
    // window during a run, or SIGTERM (the desktop ending the session), ends
    // the run and the window at once as File > Exit does, settings stored
    // and nothing asked. SIGTERM also once a run has attached the client
    // library, which would take the signal otherwise.
    void runsEndOnCancelCloseAndSigterm_data()
    {
        QTest::addColumn<QString>("how");
        for (const char* how : {"Esc", "close", "SIGTERM during a run", "SIGTERM after a run"})
            QTest::newRow(how) << how;
    }

    void runsEndOnCancelCloseAndSigterm()
    {
        QFETCH(QString, how);
        MakeLongLog();
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.gui->EndOnSignals();
        w.gui->show();
        QVERIFY(QTest::qWaitForWindowActive(w.gui.get()));
        w.Edit("edtDatabaseFile")->setText(dir.Path("shop.fdb"));
        w.Edit("meDateBegin")->setText("01.03.2024");
        w.Edit("meDateEnd")->setText("02.03.2024");
        w.Action("actExecute")->trigger();
        QCOMPARE(w.SqlText(), kReproducing);
        w.Edit("edtDatabaseFile")->setText(dir.Path("long.fdb"));
        w.Edit("edtUserName")->setText("OLGA");
        // As soon as the run is under way.
        QTimer::singleShot(0, w.gui.get(), [&] {
            if (how == "Esc")
                QTest::keyClick(w.gui.get(), Qt::Key_Escape);
            else if (how == "close")
                w.gui->close();
            else if (how == "SIGTERM during a run")
                ::kill(::getpid(), SIGTERM);
        });
        if (how != "SIGTERM after a run")
            w.Action("actExecute")->trigger();
        else
            ::kill(::getpid(), SIGTERM);
        QCOMPARE(w.SqlText(), kReproducing);
        QCOMPARE(TDBManager::GetInstance().GetState(), dbsDisconnected);
        QCOMPARE(dialogs.messages, QStringList());
        QCOMPARE(dialogs.errors, QStringList());
        if (how == "Esc") {
            QVERIFY(w.gui->isVisible());
            QCOMPARE(w.Find<TStatusBar>("StatusBar")->Panel(0)->text(), QStringLiteral("Cancelled"));
            return;
        }
        QTRY_VERIFY(!w.gui->isVisible());
        QVERIFY(!QFileInfo::exists(dir.Path("Exception.txt")));
        QVERIFY(ReadBytes(dir.Settings()).contains("User name=OLGA\r\n"));
        QFile::remove(dir.Settings());
    }

    void reportFileKeepsLinesAndReplacesTheLastOne()
    {
        const std::string folder = QFile::encodeName(dir.Path("")).toStdString();
        WriteExceptionFile("first", folder);
        const std::string path = WriteExceptionFile("line 1\nline 2\r\nline 3\r\r", folder);
        const QByteArray file = ReadBytes(QFile::decodeName(path.c_str()));
        QVERIFY2(file.startsWith("line 1\r\nline 2\r\nline 3\r\n\r\n"), file.constData());
        QVERIFY(!file.contains("first"));
        QVERIFY(file.endsWith("\n\r\n"));
        const QByteArray empty = ReadBytes(QFile::decodeName(WriteExceptionFile("", folder).c_str()));
        QCOMPARE(empty.count("\r\n"), 1);
        QFile::remove(QFile::decodeName(path.c_str()));
    }

    // The Change log menu changes nothing until the question that names the
    // database is answered Yes; then it installs the log and shows its status.
    void changeLogMenuInstallsAfterTheQuestion()
    {
        QString output;
        QVERIFY2(CreateDatabase(dir.Path("menu.fdb"), "create table T (ID integer not null primary key);", &output),
                 qPrintable(output));
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Edit("edtDatabaseFile")->setText(dir.Path("menu.fdb"));
        w.Action("actLogInstall")->trigger();
        QCOMPARE(dialogs.questions.size(), 1);
        QVERIFY2(dialogs.questions[0].contains("\n" + dir.Path("menu.fdb") + "\n"), qPrintable(dialogs.questions[0]));
        w.Action("actLogStatus")->trigger();
        QVERIFY2(dialogs.messages.value(0).startsWith("No change log is installed on"), qPrintable(dialogs.messages.value(0)));
        dialogs.confirm = true;
        w.Action("actLogInstall")->trigger();
        QVERIFY2(dialogs.messages.value(1).endsWith("Tables logged (1): T"), qPrintable(dialogs.messages.value(1)));
        w.Action("actLogStatus")->trigger();
        QVERIFY2(dialogs.messages.value(2).contains("Tables logged (1): T\nTables not logged: none\nEntries: 0\n"),
                 qPrintable(dialogs.messages.value(2)));
    }

    // The filters and the times of day pick the script's entries (the end
    // excluded); a time that is none, or no operation at all, is named
    // before anything runs, the focus put there.
    void filtersAndTimesOfDayPickTheEntries()
    {
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        QVERIFY(QTest::qWaitForWindowActive(w.gui.get()));
        w.Edit("edtDatabaseFile")->setText(dir.Path("shop.fdb"));
        w.Edit("edtPassword")->setText("");
        w.Edit("meDateBegin")->setText("01.03.2024");
        w.Edit("meDateEnd")->setText("02.03.2024");
        w.Find<QCheckBox>("chbIncludeComments")->setChecked(false);
        const auto script = [&w] {
            w.Action("actExecute")->trigger();
            return w.SqlText();
        };
        w.Edit("meTimeEnd")->setText("23:59");
        QCOMPARE(script(), QStringLiteral("insert into CUSTOMER\n(ID, NAME)\nvalues (1, 'Иван');\n\n"));
        w.Edit("meTimeEnd")->clear();
        w.Edit("meDateBegin")->setText("02.03.2024");
        w.Edit("meTimeBegin")->setText("23:59");
        w.Edit("edtUsers")->setText(" ANNA ,");
        w.Find<QCheckBox>("chbDeletes")->setChecked(false);
        QCOMPARE(script(), QStringLiteral("update CUSTOMER\nset NAME = 'Пётр'\nwhere ID = 1;\n\n"));
        QVERIFY(!w.XmlText().contains(QStringLiteral("O'Brien")));
        w.Edit("edtExceptTables")->setText("CUSTOMER");
        QCOMPARE(script(), QStringLiteral("/* Log has no matched records for specified period */"));
        QCOMPARE(dialogs.messages, QStringList());

        w.Edit("meTimeBegin")->setText("24:00");
        script();
        QCOMPARE(dialogs.messages.value(0), FromCp1251(msgBadTime));
        QCOMPARE(QApplication::focusWidget(), w.Edit("meTimeBegin"));
        w.Edit("meTimeBegin")->clear();
        for (const char* name : {"chbInserts", "chbUpdates"})
            w.Find<QCheckBox>(name)->setChecked(false);
        script();
        QCOMPARE(dialogs.messages.value(1), FromCp1251(msgNoOperation));
    }

    // The customers of a database, "ID NAME" a line.
    static QString Customers(const QString& path)
    {
        QProcess isql;
        isql.start("isql-fb", {"-q", "-ch", "WIN1251", "-u", "SYSDBA", path});
        isql.write("set heading off;\nselect ID || ' ' || NAME from CUSTOMER order by ID;\n");
        isql.closeWriteChannel();
        if (!isql.waitForFinished(60000) || isql.exitCode() != 0)
            return "isql failed: " + QString::fromLocal8Bit(isql.readAllStandardError());
        QStringList rows;
        for (const QString& line : FromCp1251(isql.readAllStandardOutput().toStdString()).split(QLatin1Char('\n')))
            if (!line.trimmed().isEmpty())
                rows << line.trimmed();
        return rows.join(QLatin1Char('\n'));
    }

    // Apply to database: the target picked, then the question with the
    // entries of each table and operation, then the summary; a second apply
    // finds nothing left, and starts from the target kept in the settings; a
    // sister that differs gets nothing, and the conflict is named. With Undo
    // script chosen, the entries the filters take are undone in the database
    // itself, which no one is asked for.
    void applyToDatabaseAsksAndAppliesOnce()
    {
        const QString table = "create table CUSTOMER (ID integer not null primary key, NAME varchar(40));\n";
        QString output;
        QVERIFY2(CreateDatabase(dir.Path("twin.fdb"), table + "insert into CUSTOMER values (7, 'O''Brien');", &output),
                 qPrintable(output));
        QVERIFY2(CreateDatabase(dir.Path("other.fdb"), table, &output), qPrintable(output));
        QVERIFY2(CreateDatabase(dir.Path("undo.fdb"), ShopSql() + "insert into CUSTOMER values (1, 'Пётр');",
                                &output),
                 qPrintable(output));
        const QString shop = dir.Path("shop.fdb"), twin = dir.Path("twin.fdb");
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Edit("edtDatabaseFile")->setText(shop);
        w.Edit("edtPassword")->setText("");
        w.Edit("meDateBegin")->setText("01.03.2024");
        w.Edit("meDateEnd")->setText("02.03.2024");
        w.Action("actApply")->trigger();
        QCOMPARE(dialogs.targetRequests, QStringList{QString()});
        QCOMPARE(dialogs.questions, QStringList());
        dialogs.applyTarget = {twin, "SYSDBA", "", false};
        w.Action("actApply")->trigger();
        const QString lines = QStringLiteral("\nCUSTOMER: 1 inserts, 1 updates, 1 deletes");
        QCOMPARE(dialogs.questions.value(0), "Apply these 3 log entries of " + shop + " to " + twin +
                                                 ", in one transaction that commits only when every change finds its "
                                                 "row as the log says?" + lines);
        QCOMPARE(Customers(twin), QStringLiteral("7 O'Brien"));
        dialogs.confirm = true;
        w.Action("actApply")->trigger();
        QVERIFY2(dialogs.messages.value(0).startsWith("Applied 3 log entries to " + twin + " in ") &&
                     dialogs.messages.value(0).endsWith(" s." + lines),
                 qPrintable(dialogs.messages.value(0)));
        QCOMPARE(w.Find<TStatusBar>("StatusBar")->Panel(0)->text(), QStringLiteral("3 log entries applied"));
        QCOMPARE(Customers(twin), QStringLiteral("1 Пётр"));
        w.Action("actApply")->trigger();
        QCOMPARE(dialogs.messages.value(1),
                 "None of the period's log entries that the filters take is left to apply to " + twin + ".");
        QCOMPARE(dialogs.targetRequests.last(), twin);
        QVERIFY(ReadBytes(dir.Settings()).contains("[Apply]\r\nTarget=" + QFile::encodeName(twin) + "\r\n"));

        dialogs.applyTarget.location = dir.Path("other.fdb");
        w.Action("actApply")->trigger();
        QCOMPARE(dialogs.messages.value(2),
                 QStringLiteral("Conflict at log entry 3, a delete from CUSTOMER (ID = 7): the "
                                "target has no such row. Nothing was applied: the target is "
                                "as it was."));
        QCOMPARE(dialogs.kinds.value(2), TMessageKind::Warning);
        QCOMPARE(Customers(dir.Path("other.fdb")), QString());

        const int asked = dialogs.targetRequests.size();
        w.Edit("edtDatabaseFile")->setText(dir.Path("undo.fdb"));
        w.Find<QRadioButton>("rdbUndoScript")->setChecked(true);
        w.Edit("edtUsers")->setText("ANNA");
        w.Action("actApply")->trigger();
        QCOMPARE(dialogs.targetRequests.size(), asked);
        QCOMPARE(dialogs.questions.last(),
                 "Undo these 2 log entries in " + dir.Path("undo.fdb") +
                     " itself, newest first, in one transaction that commits only when every row still holds what "
                     "its change left?\nCUSTOMER: 0 inserts, 1 updates, 1 deletes");
        QVERIFY2(dialogs.messages.last().startsWith("Undid 2 log entries in " + dir.Path("undo.fdb")),
                 qPrintable(dialogs.messages.last()));
        QCOMPARE(Customers(dir.Path("undo.fdb")), QStringLiteral("1 Иван\n7 O'Brien"));
    }

    // The target's own dialog: OK only with a location, and what was typed
    // comes back.
    void applyTargetDialogNeedsALocation()
    {
        TDialogs real;
        TApplyTarget target{QString(), "SYSDBA", "", false};
        bool okEnabled = true;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
            okEnabled = ok->isEnabled();
            dialog->findChild<QLineEdit*>("edtTarget")->setText(" server:/data/twin.fdb ");
            dialog->findChild<QLineEdit*>("edtTargetPassword")->setText("secret");
            ok->click();
        });
        QVERIFY(real.GetApplyTarget(nullptr, target, TFileDialogSetup{}));
        QVERIFY(!okEnabled);
        QCOMPARE(target.location, QStringLiteral("server:/data/twin.fdb"));
        QCOMPARE(target.password, QStringLiteral("secret"));
        QCOMPARE(target.user, QStringLiteral("SYSDBA"));
    }

    // norvane-cli's output of the same log: what the pages save, byte for byte.
    QByteArray CliOutput(const QString& database, const QStringList& more = {})
    {
        QProcess cli;
        cli.start(QCoreApplication::applicationDirPath() + "/norvane-cli",
                  QStringList{"-d", database, "--from", "2024-03-01", "--to", "2024-03-01", "--no-comments"} + more);
        if (!cli.waitForFinished(120000) || cli.exitCode() != 0)
            return "norvane-cli failed: " + cli.readAllStandardError();
        return more.isEmpty() ? cli.readAllStandardOutput() : ReadBytes(more.last());
    }

    // Saved unedited, a page is the run's own bytes, line feeds and
    // Windows-1251 as norvane-cli writes them; edited, it is the page's text
    // with line feeds.
    void savedScriptIsTheRunsOwnBytes()
    {
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Edit("edtDatabaseFile")->setText(dir.Path("shop.fdb"));
        w.Edit("meDateBegin")->setText("01.03.2024");
        w.Edit("meDateEnd")->setText("01.03.2024");
        w.Find<QCheckBox>("chbIncludeComments")->setChecked(false);
        w.Action("actExecute")->trigger();
        dialogs.fileAnswers = {dir.Path("shop.sql")};
        w.Action("actSave")->trigger();
        const QByteArray cli = CliOutput(dir.Path("shop.fdb"));
        QCOMPARE(cli, Cp(QStringLiteral("insert into CUSTOMER\n(ID, NAME)\nvalues (1, 'Иван');\n\n")));
        QCOMPARE(ReadBytes(dir.Path("shop.sql")), cli);
        w.Memo("mmSQL")->appendPlainText("commit;");
        dialogs.fileAnswers = {dir.Path("shop.sql")};
        w.Action("actSave")->trigger();
        QCOMPARE(ReadBytes(dir.Path("shop.sql")), cli + "\ncommit;");
    }

    // A text larger than the pages edit is shown read only from the run's
    // file, with a line that says so: it scrolls, finds, copies, and saves
    // whole, byte for byte as norvane-cli writes it.
    void longTextIsShownReadOnlyAndSavedWhole()
    {
        MakeLongLog();
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.gui->SetEditableBytes(4096);
        w.gui->resize(900, 700);
        w.gui->show();
        QVERIFY(QTest::qWaitForWindowActive(w.gui.get()));
        w.Edit("edtDatabaseFile")->setText(dir.Path("long.fdb"));
        w.Edit("meDateBegin")->setText("01.03.2024");
        w.Edit("meDateEnd")->setText("01.03.2024");
        w.Find<QCheckBox>("chbIncludeComments")->setChecked(false);
        QTest::keyClick(w.gui.get(), Qt::Key_F9);
        auto* view = w.gui->findChild<TTextView*>("tvSQL");
        QVERIFY(view->isVisible() && !w.Memo("mmSQL")->isVisible());
        const QByteArray cli = CliOutput(dir.Path("long.fdb"));
        QCOMPARE(w.gui->findChild<QLabel*>("lblSQLNote")->text(),
                 "This page holds " + QString::number(cli.size() / 1048576.0, 'f', 1) +
                     " MiB, too much to edit here: it is shown read only, and Save as writes it whole.");
        QVERIFY2(view->VisibleText().startsWith("insert into T\n(ID)\nvalues (1);\n\ninsert into T"),
                 qPrintable(view->VisibleText().left(300)));
        QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
        QVERIFY(view->VisibleText().endsWith("values (1500);\n"));

        // Ctrl+F, and round the end once.
        QTest::keyClick(w.gui.get(), Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(w.Edit("edtFind"), "VALUES (1234)");
        QTest::keyClick(w.Edit("edtFind"), Qt::Key_Return);
        QTRY_COMPARE(view->SelectedText(), QStringLiteral("values (1234)"));
        QVERIFY(view->VisibleText().contains("values (1234)"));
        w.Edit("edtFind")->setText("values (1)");
        QTest::keyClick(w.gui.get(), Qt::Key_F3);
        QTRY_COMPARE(view->SelectedText(), QStringLiteral("values (1)"));
        QVERIFY(view->VisibleText().startsWith("insert into T\n(ID)\nvalues (1);"));
        w.Edit("edtFind")->setText("delete");
        QTest::keyClick(w.gui.get(), Qt::Key_F3, Qt::ShiftModifier);
        QTRY_COMPARE(w.gui->findChild<QLabel*>("lblFindResult")->text(), QStringLiteral("\"delete\" is not on this page."));

        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(view->SelectedText(), QString::fromLatin1(cli));
        dialogs.fileAnswers = {dir.Path("long.sql")};
        w.Action("actSave")->trigger();
        QCOMPARE(ReadBytes(dir.Path("long.sql")), cli);
        // The XML page the same way.
        w.Find<QTabWidget>("PageControl")->setCurrentWidget(w.Find<QWidget>("tsXML"));
        QVERIFY(w.gui->findChild<TTextView*>("tvXML")->isVisible());
        dialogs.fileAnswers = {dir.Path("long.xml")};
        w.Action("actSave")->trigger();
        QCOMPARE(ReadBytes(dir.Path("long.xml")), CliOutput(dir.Path("long.fdb"), {"--xml", dir.Path("cli.xml")}));
    }

    void demoDatabaseGivesAScript()
    {
        const QString demo = QStringLiteral(NORVANE_SOURCE_DIR "/scripts/demo-db.sh");
        if (!QFileInfo::exists(demo))
            QSKIP("no demo database script");
        QProcess make;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("NORVANE_CLI", QStringLiteral(NORVANE_BINARY_DIR "/norvane-cli"));
        make.setProcessEnvironment(environment);
        make.start("bash", {demo, dir.Path("demo.fdb")});
        QVERIFY(make.waitForFinished(120000));
        QVERIFY2(make.exitCode() == 0, make.readAllStandardError().constData());
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.Edit("edtDatabaseFile")->setText(dir.Path("demo.fdb"));
        w.Edit("edtPassword")->setText("");
        w.Action("actExecute")->trigger();
        QCOMPARE(dialogs.messages, QStringList());
        QVERIFY(w.SqlText().contains(QStringLiteral("insert into ")));
        QVERIFY(w.SqlText().contains(QStringLiteral("Login: ")));
        QVERIFY(w.XmlText().count(QStringLiteral("<Record")) > 3);
    }

private:
    TProgramDir dir;
};

QTEST_MAIN(TestScript)
#include "test_script.moc"
