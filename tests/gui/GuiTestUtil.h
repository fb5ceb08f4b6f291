// What the window's tests share: a folder that plays the program's folder,
// a dialog seam that answers in place of the user, throwaway databases on
// the embedded engine, and the window itself.
#pragma once
#include "app/About.h"
#include "app/Cp1251.h"
#include "app/Dialogs.h"
#include "app/Gui.h"
#include "locale/Messages.h"
#include "locale/Regional.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <functional>
#include <memory>

// Day.month.year with a four-digit year: the tests' regional formats.
inline void PinFormats()
{
    TFormatSettings fs;
    SetFormatSettings(&fs);
}

inline QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline void WriteBytes(const QString& path, const QByteArray& data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

inline QByteArray Cp(const QString& text)
{
    return QByteArray::fromStdString(ToCp1251(text));
}

// Answers the window's boxes and dialogs and remembers what they said.
class TScriptedDialogs : public TDialogs {
public:
    struct FileRequest {
        TFileDialogSetup setup;
        QString fileName;
    };

    void ShowMessage(QWidget*, const QString& text, TMessageKind kind) override
    {
        messages << text;
        kinds << kind;
        if (onMessage)
            onMessage(text);
    }
    void ShowError(QWidget*, const QString& text) override { errors << text; }
    bool Confirm(QWidget*, const QString& text) override
    {
        questions << text;
        return confirm;
    }
    QString GetOpenFileName(QWidget*, const TFileDialogSetup& setup, const QString& fileName) override
    {
        return Answer(setup, fileName);
    }
    QString GetSaveFileName(QWidget*, const TFileDialogSetup& setup, const QString& fileName) override
    {
        return Answer(setup, fileName);
    }
    bool GetApplyTarget(QWidget*, TApplyTarget& target, const TFileDialogSetup&) override
    {
        targetRequests << target.location;
        if (applyTarget.location.isEmpty())
            return false;
        target = applyTarget;
        return true;
    }

    QStringList messages;
    QList<TMessageKind> kinds;
    QStringList errors;
    QStringList questions;
    bool confirm = false;  // the answer to every question
    QList<FileRequest> fileRequests;
    std::deque<QString> fileAnswers;  // an empty answer cancels
    std::function<void(const QString&)> onMessage;
    QStringList targetRequests;  // the location each apply's question started from
    TApplyTarget applyTarget;    // the answer: none (cancel) without a location

private:
    QString Answer(const TFileDialogSetup& setup, const QString& fileName)
    {
        fileRequests.append({setup, fileName});
        if (fileAnswers.empty())
            return {};
        QString answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }
};

// A database made by isql-fb on the embedded engine from SQL text (Unicode,
// sent as Windows-1251); removed with the folder it lives in.
inline bool CreateDatabase(const QString& path, const QString& sql, QString* output = nullptr,
                           const QString& charset = "WIN1251")
{
    QFile::remove(path);
    const QString script = path + ".sql";
    QString text = "set bail on;\ncreate database '" + path + "' user 'SYSDBA' default character set " + charset +
                   ";\n" + sql + "\ncommit;\n";
    {
        QFile f(script);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        f.write(charset == "UTF8" ? text.toUtf8() : Cp(text));
    }
    QProcess isql;
    isql.start("isql-fb", {"-q", "-b", "-ch", charset, "-u", "SYSDBA", "-i", script});
    const bool finished = isql.waitForFinished(60000);
    if (output)
        *output = QString::fromLocal8Bit(isql.readAllStandardOutput() + isql.readAllStandardError());
    QFile::remove(script);
    return finished && isql.exitStatus() == QProcess::NormalExit && isql.exitCode() == 0;
}

// The change-log tables as IBExpert's Log Manager installs them.
inline QString LogTablesSql()
{
    return R"(
create generator IBE$LOG_TABLES_GEN;
create table IBE$LOG_TABLES (ID numeric(18,0) not null primary key, TABLE_NAME varchar(67),
  OPERATION varchar(1), DATE_TIME timestamp, USER_NAME varchar(67));
create table IBE$LOG_FIELDS (LOG_TABLES_ID numeric(18,0), FIELD_NAME varchar(67),
  OLD_VALUE varchar(255), NEW_VALUE varchar(255));
create table IBE$LOG_KEYS (LOG_TABLES_ID numeric(18,0), KEY_FIELD varchar(67), KEY_VALUE varchar(255));
create index IBE$LOG_FIELDS_IDX1 on IBE$LOG_FIELDS (LOG_TABLES_ID);
create index IBE$LOG_KEYS_IDX1 on IBE$LOG_KEYS (LOG_TABLES_ID);
commit;
)";
}

// The main window and its About box on a program folder of their own.
class TWindow {
public:
    TWindow(TDialogs& dialogs, const QString& programPath)
        : gui(std::make_unique<TfrmGUI>(dialogs, QFile::encodeName(programPath).toStdString())),
          about(std::make_unique<TfrmAbout>())
    {
        gui->SetAboutForm(about.get());
    }

    template <class T>
    T* Find(const char* name) const
    {
        T* found = gui->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            found = about->findChild<T*>(QString::fromLatin1(name));
        return found;
    }
    QLineEdit* Edit(const char* name) const { return Find<QLineEdit>(name); }
    QAction* Action(const char* name) const { return Find<QAction>(name); }
    QPlainTextEdit* Memo(const char* name) const { return Find<QPlainTextEdit>(name); }
    QString SqlText() const { return Memo("mmSQL")->toPlainText(); }
    // The XML page is filled when it is first shown: it is shown for the
    // reading, and the page shown before comes back.
    QString XmlText() const
    {
        auto* pages = gui->findChild<QTabWidget*>("PageControl");
        QWidget* before = pages->currentWidget();
        pages->setCurrentWidget(gui->findChild<QWidget*>("tsXML"));
        const QString text = Memo("mmXML")->toPlainText();
        pages->setCurrentWidget(before);
        return text;
    }

    std::unique_ptr<TfrmGUI> gui;
    std::unique_ptr<TfrmAbout> about;
};

// A folder that stands for the program's folder; the program file is
// "norvane" in it, so the settings file is "norvane.ini".
class TProgramDir {
public:
    TProgramDir() { QVERIFY2(dir.isValid(), "no temporary folder"); }
    QString Path(const QString& name) const { return dir.filePath(name); }
    QString Program() const { return Path("norvane"); }
    QString Settings() const { return Path("norvane.ini"); }

private:
    QTemporaryDir dir;
};
