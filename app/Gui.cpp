#include "app/Gui.h"

#include "app/About.h"
#include "app/Cp1251.h"
#include "app/Createexcfile.h"
#include "app/Flowlayout.h"
#include "app/Localize.h"
#include "app/Logmenu.h"
#include "app/Statusbar.h"
#include "app/core/Charset.h"
#include "app/core/Exception.h"
#include "app/core/IniFile.h"
#include "app/core/Resfuncs.h"
#include "app/core/Textfile.h"
#include "db/Tsignalwatch.h"
#include "engine/Cnorvane.h"
#include "engine/Failure.h"
#include "locale/Localize.h"
#include "locale/Messages.h"
#include "locale/Regional.h"
#include "res/TextIds.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QShowEvent>
#include <QStyle>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <QVBoxLayout>

#include <optional>

namespace {

// Paths are file-system bytes; the window shows and stores them as text.
QString PathText(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string PathBytes(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// A Windows-1251 text that quotes a path as it was given, in file-system
// bytes (a server's diagnosis, the report notice).
QString WithPath(const std::string& text, const std::string& path)
{
    QStringList pieces;
    size_t from = 0;
    for (size_t at = path.empty() ? std::string::npos : text.find(path); at != std::string::npos;
         at = text.find(path, from)) {
        pieces << FromCp1251(text.substr(from, at - from));
        from = at + path.size();
    }
    pieces << FromCp1251(text.substr(from));
    return pieces.join(PathText(path));
}

// Texts for the editors: the encoding's bytes (Windows-1251 for the
// program's own texts) with any line ends.
QString EditorText(const std::string& text, const std::string& encoding = "Windows-1251")
{
    QString s = FromEncoding(text, encoding);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

// Fills an editor with a text (bytes in the encoding) piece by piece,
// converting each piece as it goes in and letting the window paint and take
// input between the pieces a few times a second: a long log's text would
// freeze it for seconds if converted and set in one go. The caller keeps
// actions from starting meanwhile.
void FillEditor(QPlainTextEdit* editor, const std::string& text, const std::string& encoding,
                QElapsedTimer& sinceEvents)
{
    constexpr std::size_t kPiece = 1 << 16;
    QTextDocument* document = editor->document();
    editor->clear();
    // Filling is no edit the user could undo.
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    for (std::size_t from = 0; from < text.size();) {
        // A piece ends after a line feed, which no character of the
        // encodings in use holds as part of another and which ends a
        // CR LF pair.
        std::size_t to = text.size();
        if (from + kPiece < text.size()) {
            const std::size_t lineEnd = text.find('\n', from + kPiece);
            if (lineEnd != std::string::npos)
                to = lineEnd + 1;
        }
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(EditorText(text.substr(from, to - from), encoding));
        from = to;
        if (sinceEvents.elapsed() >= 50) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
    }
    document->setUndoRedoEnabled(true);
    document->setModified(false);
    editor->moveCursor(QTextCursor::Start);
}

TFileDialogSetup OpenDialogSetup()
{
    return {"OpenDialog1", "Select database file for creating log script",
            {"Firebird and InterBase databases (*.fdb *.gdb)", "Interbase databases (*.gdb)",
             "Firebird databases (*.fdb)", "All files (*)"},
            "gdb"};
}

TFileDialogSetup SQLDialogSetup()
{
    return {"sdSQL", "Save SQL script as", {"SQL-Files (*.sql)", "Text files (*.txt)"}, "sql"};
}

TFileDialogSetup XMLDialogSetup()
{
    return {"sdXML", "Save XML log as", {"XML-Files (*.xml)"}, "xml"};
}

}  // namespace

// While a script is made: the progress panel shows, and nothing that could
// start a second run, rebuild the forms or close the window can begin. A
// close asked for meanwhile happens when the run is over.
class TfrmGUI::TRun {
public:
    explicit TRun(TfrmGUI& aW) : w(aW) { w.SetRunning(true); }
    ~TRun()
    {
        w.SetRunning(false);
        if (w.closeRequested) {
            w.closeRequested = false;
            QTimer::singleShot(0, &w, &QWidget::close);
        }
    }
    TRun(const TRun&) = delete;
    TRun& operator=(const TRun&) = delete;

private:
    TfrmGUI& w;
};

template <class F>
void TfrmGUI::Handle(F&& handler) noexcept
{
    try {
        handler();
    } catch (...) {
        ShowException(std::current_exception());
    }
}

TfrmGUI::TfrmGUI(TDialogs& d, std::string path, QWidget* parent)
    : QMainWindow(parent), dialogs(d), programPath(std::move(path))
{
    programDir = SettingsFolder(programPath.substr(0, programPath.rfind('/') + 1));
    setObjectName("frmGUI");
    setWindowTitle(QStringLiteral("Norvane (Scripting tool for IBExpert\u00AE Log)"));
    CreateControls();
    CreateActions();
    ConnectActions();
    // Owned by the window.
    new TLogMenu(
        *this, dialogs,
        [this] {
            return Norvane::TLogDatabase{PathBytes(edtDatabaseFile->text()), ToCp1251(edtUserName->text()),
                                         ToCp1251(edtPassword->text())};
        },
        [this] { return running; }, miHelp);
    move(275, 107);
    resize(553, 480);

    const std::string settingsPath = programDir + ChangeFileExt(programPath.substr(programPath.rfind('/') + 1), ".ini");
    if (!FileExists(settingsPath))
        mmSQL->setPlainText(EditorText(msgWelcome));
    // The file may hold a password: only its owner reads it.
    settings = std::make_unique<TIniFile>(settingsPath, 0600);
    LoadSettings();
    engine = std::make_unique<Norvane::CNorvane>(
        [this](int& total, int& done) { ShowProgress(total, done); },
        [this](const std::string& text) { dialogs.ShowMessage(this, FromCp1251(text)); });
    // Joining a long script lets the window paint as reading does.
    engine->SetBusyHandler([this] {
        if (sinceEvents.elapsed() >= 50) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
    });
}

TfrmGUI::~TfrmGUI()
{
    // No signal reaches a window half taken down.
    signalWatch.reset();
}

// What each action and language item does.
void TfrmGUI::ConnectActions()
{
    connect(PageControl, &QTabWidget::currentChanged, this, [this] {
        if (PageControl->currentWidget() == tsXML)
            Handle([this] { FillXMLPage(); });
    });
    connect(actSelectDatabase, &QAction::triggered, this, [this] { Handle([this] { actSelectDatabaseExecute(); }); });
    connect(actExecute, &QAction::triggered, this, [this] { Handle([this] { actExecuteExecute(); }); });
    connect(actSave, &QAction::triggered, this, [this] { Handle([this] { actSaveExecute(); }); });
    connect(actClose, &QAction::triggered, this, [this] { Handle([this] { actCloseExecute(); }); });
    connect(actAbout, &QAction::triggered, this, [this] { Handle([this] { actAboutExecute(); }); });
    connect(actShowReadme, &QAction::triggered, this, [this] { Handle([this] { actShowReadmeExecute(); }); });
    connect(actCreateIntFile, &QAction::triggered, this, [this] { Handle([this] { actCreateIntFileExecute(); }); });
    for (QAction* item : {miEnglish, miRussian})
        connect(item, &QAction::triggered, this,
                [this, item](bool checked) { Handle([this, item, checked] { LanguageClick(item, checked); }); });
}

void TfrmGUI::FillXMLPage()
{
    if (!xmlPending)
        return;
    xmlPending = false;
    std::optional<TRun> run;
    if (!running)
        run.emplace(*this);
    FillEditor(mmXML, engine->XMLLogText(), xmlEncoding, sinceEvents);
}

void TfrmGUI::SetRunning(bool on)
{
    running = on;
    for (QAction* a : {actSelectDatabase, actExecute, actSave, actClose, actAbout, actShowReadme, actCreateIntFile,
                       miEnglish, miRussian})
        a->setEnabled(!on);
    SpeedButton1->setEnabled(!on);
    pnlProgressBar->setVisible(on);
    if (on) {
        ProgressBar1->setValue(0);
        sinceEvents.start();
    }
}

void TfrmGUI::actExecuteExecute()
{
    if (running)
        return;
    TRun run(*this);
    xmlPending = false;
    const std::string databaseFile = PathBytes(edtDatabaseFile->text());
    const std::string userName = ToCp1251(edtUserName->text());
    const std::string password = ToCp1251(edtPassword->text());
    const bool english = !miRussian->isChecked();
    TCharset charset;
    if (!FindCharset(cmbCharset->currentText().trimmed().toStdString(), charset)) {
        dialogs.ShowMessage(this, QStringLiteral("\"%1\" is not a Firebird character set this program knows.")
                                      .arg(cmbCharset->currentText()));
        return;
    }
    cmbCharset->setEditText(QString::fromStdString(charset.name));
    try {
        TDateTime begin = PeriodDate(meDateBegin);
        // The engine takes the start of the day after the last day.
        TDateTime end = PeriodDate(meDateEnd) + 1.0;
        engine->SetDisableTriggers(chbDisableTriggers->isChecked());
        engine->SetSyncGenerators(chbSyncGenerators->isChecked());
        engine->ReadLog(databaseFile, userName, password, begin, end, chbIncludeComments->isChecked(),
                        charset.name);
        const std::string script =
            rdbReproducingScript->isChecked() ? engine->GetReproducingScript() : engine->GetUndoScript();
        FillEditor(mmSQL, script, charset.encoding, sinceEvents);
        sqlEncoding = charset.encoding;
        mmXML->clear();
        xmlEncoding = charset.encoding;
        xmlPending = true;
        if (PageControl->currentWidget() == tsXML)
            FillXMLPage();
    } catch (const TDateMistake& mistake) {
        ShowDateMistake(mistake.field);
    } catch (...) {
        ShowRunFailure(Norvane::DescribeFailure(std::current_exception()), databaseFile, charset.encoding, english);
    }
}

void TfrmGUI::ShowRunFailure(const Norvane::TFailure& failure, const std::string& databaseFile,
                             const std::string& encoding, bool english)
{
    using Norvane::TFailureKind;
    switch (failure.kind) {
    case TFailureKind::Interrupted:
        // The window is on its way out.
        break;
    case TFailureKind::NoConnect:
        // The catalogue text, and below it the server's own diagnosis.
        dialogs.ShowMessage(this,
                            FromCp1251(msgNoConnect) + QStringLiteral("\n\n") + WithPath(failure.text, databaseFile));
        break;
    case TFailureKind::Charset:
        dialogs.ShowMessage(this, QStringLiteral("A logged value cannot be read in the character set %1: choose "
                                                 "%2 (or the database's own character set) as the character set "
                                                 "and create the script again.")
                                      .arg(QString::fromStdString(failure.charset),
                                           QString::fromStdString(CharsetThatReads(failure.charset))));
        break;
    case TFailureKind::NoLog:
        dialogs.ShowMessage(this, FromCp1251(msgNoLog));
        break;
    case TFailureKind::IncompleteValue:
    case TFailureKind::InvalidEntry:
    // The window applies nothing; these come from norvane-cli apply alone.
    case TFailureKind::Conflict:
    case TFailureKind::Bookkeeping:
    case TFailureKind::TargetRefused:
    case TFailureKind::TriggersLeftOff:
        dialogs.ShowMessage(this, EditorText(failure.text, encoding));
        break;
    case TFailureKind::NotWritten:
    case TFailureKind::TimedOut:
        dialogs.ShowMessage(this, EditorText(failure.text));
        break;
    case TFailureKind::NoSQLForm:
    case TFailureKind::Failed:
    case TFailureKind::Unforeseen:
        CreateExceptionFile(failure.text, english);
        break;
    case TFailureKind::Unknown:
        dialogs.ShowMessage(this, FromCp1251(msgUnforeseen));
        break;
    }
}

TDateTime TfrmGUI::PeriodDate(QLineEdit* field) const
{
    TDateTime date = 0;
    if (!TryStrToDate(ToCp1251(field->text()), date))
        throw TDateMistake{field};
    return date;
}

void TfrmGUI::ShowDateMistake(QLineEdit* field)
{
    // The last day of this year shows the order of day, month and year.
    int year = 0, month = 0, day = 0;
    DecodeDate(Date(), year, month, day);
    const std::string& text = field == meDateBegin ? msgBadBeginDate : msgBadEndDate;
    dialogs.ShowMessage(this, FromCp1251(text + " " + DateToStr(EncodeDate(year, 12, 31))));
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

void TfrmGUI::ShowProgress(int& total, int& done)
{
    // Repaint only when the bar visibly moves, and let waiting input through
    // a few times a second: a long log must not spend its time painting.
    const int percent = total > 0 ? static_cast<int>(static_cast<long long>(done) * 100 / total) : 0;
    const bool moved = percent != ProgressBar1->value();
    if (moved)
        ProgressBar1->setValue(percent);
    if (moved || sinceEvents.elapsed() >= 50) {
        QCoreApplication::processEvents();
        sinceEvents.restart();
    }
}

void TfrmGUI::actSaveExecute()
{
    const bool sql = PageControl->currentWidget() == tsSQL;
    // The XML page saves the log itself, which must exist whole.
    if (!sql && !engine->LogRead()) {
        dialogs.ShowMessage(this, QStringLiteral("No XML log to save: no change log has been read yet (F9)."));
        return;
    }
    if (!sql && !engine->GetXMLError().empty()) {
        dialogs.ShowMessage(this, FromCp1251(engine->GetXMLError()));
        return;
    }
    const char* key = sql ? "SQLFileName" : "XMLFileName";
    // Beside the program in a build folder; an installed program's folder is
    // the system's, and the user's home takes its place.
    const std::string ownFolder = programPath.substr(0, programPath.rfind('/') + 1);
    const std::string program = programPath.substr(ownFolder.size());
    const std::string byDefault = PathToSetting(PathText(
        ChangeFileExt((programDir == ownFolder ? ownFolder : HomeFolder()) + program, sql ? ".sql" : ".xml")));
    const QString initial = PathFromSetting(settings->ReadString("Files", key, byDefault));
    const QString name = sql ? dialogs.GetSaveFileName(this, SQLDialogSetup(), initial)
                             : dialogs.GetSaveFileName(this, XMLDialogSetup(), initial);
    if (name.isEmpty())
        return;
    settings->WriteString("Files", key, PathToSetting(name));
    try {
        if (sql)
            SaveTextToFile(ToEncoding(mmSQL->toPlainText(), sqlEncoding), PathBytes(name));
        else
            engine->SaveXMLLog(PathBytes(name));
    } catch (const Exception& e) {
        // The reason names the file as the file system has it.
        dialogs.ShowError(this, WithPath(e.Message, PathBytes(name)));
    }
}

void TfrmGUI::actCloseExecute()
{
    close();
}

void TfrmGUI::actSelectDatabaseExecute()
{
    const QString name = dialogs.GetOpenFileName(this, OpenDialogSetup(), edtDatabaseFile->text());
    if (!name.isEmpty())
        edtDatabaseFile->setText(QFileInfo(name).absoluteFilePath());
}

void TfrmGUI::actAboutExecute()
{
    if (frmAbout)
        frmAbout->exec();
}

void TfrmGUI::actShowReadmeExecute()
{
    mmSQL->setPlainText(EditorText(LoadResourceText(miRussian->isChecked() ? BuiltinTexts::kHelpRussian : BuiltinTexts::kHelpEnglish, "HELP")));
    sqlEncoding = "Windows-1251";
}

void TfrmGUI::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The window shows once; a window restored from an icon is no new show.
    if (!shown && !event->spontaneous()) {
        shown = true;
        Handle([this] { FormShow(); });
    }
}

void TfrmGUI::FormShow()
{
    InitLanguage(true);
}

void TfrmGUI::LanguageClick(QAction* item, bool checked)
{
    if (!checked) {
        // The item was checked already.
        item->setChecked(true);
        return;
    }
    InitLanguage(false);
}

void TfrmGUI::InitLanguage(bool atStartup)
{
    const std::string path = programDir + "Locale.ini";
    if (atStartup) {
        // The designed texts are English: only another language is applied,
        // from the file as the user may have edited it.
        if (FileExists(path) && !miEnglish->isChecked())
            ApplyLanguageFile(path);
        return;
    }
    const int text = miEnglish->isChecked() ? BuiltinTexts::kLocaleEnglish : BuiltinTexts::kLocaleRussian;
    SaveTextToFile(LoadResourceText(text, "LOCALE"), path);
    ApplyLanguageFile(path);
}

void TfrmGUI::UseQtTranslations()
{
    if (qtTranslator) {
        QCoreApplication::removeTranslator(qtTranslator.get());
        qtTranslator.reset();
    }
    if (!miRussian->isChecked())
        return;
    // Debian's qt6-translations-l10n; without it Qt's texts stay English.
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(translator.get()))
        qtTranslator = std::move(translator);
}

void TfrmGUI::ApplyLanguageFile(const std::string& path)
{
    UseQtTranslations();
    TQtLocalizableForm main(*this, components);
    LocalizeForm(main, path);
    if (frmAbout) {
        TQtLocalizableForm about(*frmAbout, frmAbout->Components());
        LocalizeForm(about, path);
    }
    LoadMessages(path);
    mmSQL->setPlainText(EditorText(msgWelcome));
    sqlEncoding = "Windows-1251";
}

void TfrmGUI::actCreateIntFileExecute()
{
    const std::string path = programDir + "English.ini";
    TQtLocalizableForm main(*this, components);
    ExportFormTexts(main, path);
    if (frmAbout) {
        TQtLocalizableForm about(*frmAbout, frmAbout->Components());
        ExportFormTexts(about, path);
    }
    ExportMessages(path);
}

void TfrmGUI::EndOnSignals()
{
    // The watch calls from a thread of its own; the window ends on its own.
    signalWatch = std::make_unique<TSignalWatch>([this](int) {
        QMetaObject::invokeMethod(this, [this] { Terminate(); }, Qt::QueuedConnection);
    });
}

void TfrmGUI::Terminate()
{
    terminating = true;
    while (QWidget* dialog = QApplication::activeModalWidget())
        if (!dialog->close())
            break;
    close();
}

void TfrmGUI::closeEvent(QCloseEvent* event)
{
    if (running) {
        // The engine is still reading: close once it is done.
        closeRequested = true;
        event->ignore();
        return;
    }
    if (terminating) {
        // Told to end: the settings are stored as far as they can be (a begin
        // date that is no date stops them there), and nobody is asked.
        try {
            SaveSettings();
        } catch (...) {
        }
        event->accept();
        return;
    }
    try {
        SaveSettings();
        event->accept();
    } catch (const TDateMistake& mistake) {
        event->ignore();
        ShowDateMistake(mistake.field);
    } catch (...) {
        // A begin date that is not a date keeps the window open until mended.
        // A settings file that cannot be written (a program folder closed to
        // the user) would keep it open for good: that is reported, and the
        // window closes.
        TDateTime begin = 0;
        if (TryStrToDate(ToCp1251(meDateBegin->text()), begin))
            event->accept();
        else
            event->ignore();
        ShowException(std::current_exception());
    }
}

void TfrmGUI::CreateExceptionFile(const std::string& Text, bool English)
{
    const std::string path = WriteExceptionFile(Text, programDir);
    dialogs.ShowMessage(this, WithPath(ExceptionNotice(path, English), path));
}

void TfrmGUI::ShowException(std::exception_ptr error)
{
    const Norvane::TFailure failure = Norvane::DescribeFailure(error);
    if (failure.kind == Norvane::TFailureKind::Interrupted)
        return;
    // The settings, language and report files are named by the program's
    // folder as the file system has it.
    const QString text = failure.kind == Norvane::TFailureKind::Unknown ? FromCp1251(msgUnforeseen)
                                                                        : WithPath(failure.text, programDir);
    dialogs.ShowError(this, text);
}
