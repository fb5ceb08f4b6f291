#include "app/Gui.h"

#include "app/About.h"
#include "app/Cp1251.h"
#include "app/Createexcfile.h"
#include "app/Flowlayout.h"
#include "app/Icon.h"
#include "app/Localize.h"
#include "app/Logmenu.h"
#include "app/Runoutput.h"
#include "app/Statusbar.h"
#include "app/Textview.h"
#include "core/AtomicFile.h"
#include "core/Charset.h"
#include "core/Exception.h"
#include "core/IniFile.h"
#include "core/Resfuncs.h"
#include "core/Textfile.h"
#include "db/Tdbmanager.h"
#include "db/Tsignalwatch.h"
#include "engine/Capplier.h"
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
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
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
#include <thread>
#include <tuple>

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

// A filter of a file dialog: its name from the catalogue, its patterns.
QString Filter(const std::string& name, const char* patterns)
{
    return FromCp1251(name) + QStringLiteral(" (") + QLatin1String(patterns) + QLatin1Char(')');
}

TFileDialogSetup OpenDialogSetup()
{
    return {"OpenDialog1", FromCp1251(msgOpenDatabaseTitle),
            {Filter(msgFilterDatabases, "*.fdb *.gdb"), Filter(msgFilterInterBase, "*.gdb"),
             Filter(msgFilterFirebird, "*.fdb"), Filter(msgFilterAll, "*")},
            "gdb"};
}

TFileDialogSetup SQLDialogSetup()
{
    return {"sdSQL", FromCp1251(msgSaveSQLTitle), {Filter(msgFilterSQL, "*.sql"), Filter(msgFilterText, "*.txt")}, "sql"};
}

TFileDialogSetup XMLDialogSetup()
{
    return {"sdXML", FromCp1251(msgSaveXMLTitle), {Filter(msgFilterXML, "*.xml")}, "xml"};
}

// The message of a file that cannot be written, in the chosen language,
// naming the file as the file system has it.
QString FileErrorText(const FileError& e)
{
    return WithPath(FormatMessage(e.creating ? msgCannotCreateFile : msgCannotWriteFile, {e.path, e.reason}), e.path);
}

// How large a text is, in MiB with one decimal.
std::string MiB(std::int64_t bytes)
{
    return QString::number(static_cast<double>(bytes) / (1 << 20), 'f', 1).toStdString();
}

// A run the user asked to stop: it leaves the engine from the progress call.
struct TRunCancelled {};

}  // namespace


// While a script is made, or a page filled or saved: the progress panel
// shows with its Cancel button, and nothing that could start a second run,
// rebuild the forms or close the window can begin. A close asked for
// meanwhile happens when the work is over.
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
    // Whether the window is to end once the work is over.
    bool Closing() const { return w.closeRequested || w.terminating; }

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
    setWindowIcon(NorvaneIcon());
    CreateControls();
    CreateActions();
    ConnectActions();
    // Owned by the window; its captions are relabelled with the window's.
    logMenu = new TLogMenu(
        *this, dialogs,
        [this] {
            return Norvane::TLogDatabase{PathBytes(edtDatabaseFile->text()), ToCp1251(edtUserName->text()),
                                         ToCp1251(edtPassword->text())};
        },
        miHelp);
    components << logMenu->Menu() << logMenu->InstallAction() << logMenu->StatusAction();
    move(275, 107);
    resize(553, 480);

    const std::string settingsPath = programDir + ChangeFileExt(programPath.substr(programPath.rfind('/') + 1), ".ini");
    if (!FileExists(settingsPath))
        mmSQL->setPlainText(EditorText(msgWelcome));
    // The file may hold a password: only its owner reads it.
    settings = std::make_unique<TIniFile>(settingsPath, 0600);
    LoadSettings();
    // The engine runs on a thread of its own (RunInWorker).
    engine = std::make_unique<Norvane::CNorvane>([this](int& total, int& done) { RunProgress(total, done); });
    progressTimer.setInterval(50);
    connect(&progressTimer, &QTimer::timeout, this, [this] { ShowProgress(); });
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
    connect(actApply, &QAction::triggered, this, [this] { Handle([this] { actApplyExecute(); }); });
    connect(actCancel, &QAction::triggered, this, [this] { actCancelExecute(); });
    connect(actSave, &QAction::triggered, this, [this] { Handle([this] { actSaveExecute(); }); });
    connect(actClose, &QAction::triggered, this, [this] { Handle([this] { actCloseExecute(); }); });
    connect(actAbout, &QAction::triggered, this, [this] { Handle([this] { actAboutExecute(); }); });
    connect(actShowReadme, &QAction::triggered, this, [this] { Handle([this] { actShowReadmeExecute(); }); });
    connect(actCreateIntFile, &QAction::triggered, this, [this] { Handle([this] { actCreateIntFileExecute(); }); });
    connect(actFind, &QAction::triggered, this, [this] { actFindExecute(); });
    connect(actFindNext, &QAction::triggered, this, [this] { FindOnPage(false); });
    connect(actFindPrevious, &QAction::triggered, this, [this] { FindOnPage(true); });
    connect(edtFind, &QLineEdit::returnPressed, this,
            [this] { FindOnPage(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier); });
    connect(edtFind, &QLineEdit::textEdited, lblFindResult, &QLabel::clear);
    for (TPage* page : {&sqlPage, &xmlPage}) {
        connect(page->view, &TTextView::Found, this, [this](bool found) { ShowFindResult(found); });
        connect(page->view, &TTextView::Refused, this, [this](qint64 bytes) {
            dialogs.ShowMessage(this, FromCp1251(FormatMessage(msgSelectionTooLarge, {MiB(bytes)})),
                                TMessageKind::Warning);
        });
    }
    for (QAction* item : {miEnglish, miRussian})
        connect(item, &QAction::triggered, this,
                [this, item](bool checked) { Handle([this, item, checked] { LanguageClick(item, checked); }); });
}

void TfrmGUI::SetRunning(bool on)
{
    running = on;
    for (QAction* a : {actSelectDatabase, actExecute, actApply, actSave, actClose, actAbout, actShowReadme,
                       actCreateIntFile, miEnglish, miRussian, logMenu->InstallAction(), logMenu->StatusAction()})
        a->setEnabled(!on);
    actCancel->setEnabled(on);
    SpeedButton1->setEnabled(!on);
    pnlProgressBar->setVisible(on);
    if (on) {
        cancelRequested = false;
        progressTotal = 0;
        progressDone = 0;
        ProgressBar1->setValue(0);
        sinceEvents.start();
        progressTimer.start();
    } else {
        progressTimer.stop();
    }
}

void TfrmGUI::ShowProgress()
{
    // Only when the bar visibly moves: a long log must not spend its time painting.
    const int total = progressTotal;
    const int percent = total > 0 ? static_cast<int>(static_cast<long long>(progressDone) * 100 / total) : 0;
    if (percent != ProgressBar1->value())
        ProgressBar1->setValue(percent);
    // A cancel that came while a connection was being made reaches the
    // call that follows it.
    if (cancelRequested)
        TDBManager::GetInstance().Cancel();
}

std::string TfrmGUI::CheckedOperations() const
{
    std::string operations;
    for (auto [box, letter] : {std::pair{chbInserts, 'I'}, std::pair{chbUpdates, 'U'}, std::pair{chbDeletes, 'D'}})
        if (box->isChecked())
            operations += letter;
    return operations;
}

void TfrmGUI::RunProgress(int& total, int& done)
{
    progressTotal = total;
    progressDone = done;
    if (cancelRequested)
        throw TRunCancelled();
}

std::exception_ptr TfrmGUI::RunInWorker(const std::function<void()>& work)
{
    std::exception_ptr error;
    QEventLoop loop;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    return error;
}

void TfrmGUI::actCancelExecute()
{
    if (!running)
        return;
    cancelRequested = true;
    TDBManager::GetInstance().Cancel();
}

void TfrmGUI::ShowMistake(const std::string& text, QWidget* field)
{
    dialogs.ShowMessage(this, FromCp1251(text), TMessageKind::Warning);
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->selectAll();
}

bool TfrmGUI::PeriodTime(const QLineEdit* field, bool endOfDay, TDateTime& time)
{
    const QString text = field->text().trimmed();
    time = endOfDay ? 1.0 : 0.0;
    if (text.isEmpty())
        return true;
    const QStringList parts = text.split(QLatin1Char(':'));
    bool hourRead = false, minuteRead = false;
    const int hour = parts.value(0).toInt(&hourRead);
    const int minute = parts.value(1).toInt(&minuteRead);
    if (parts.size() != 2 || !hourRead || !minuteRead || parts[1].size() != 2 || hour < 0 || minute < 0 ||
        minute > 59 || hour > 24 || (hour == 24 && (minute > 0 || !endOfDay)))
        return false;
    time = hour == 24 ? 1.0 : EncodeTime(hour, minute, 0);
    return true;
}

bool TfrmGUI::ReadRunInput(TRunInput& input)
{
    // What the run needs, each checked before it starts.
    if (edtDatabaseFile->text().trimmed().isEmpty()) {
        ShowMistake(msgNoDatabase, edtDatabaseFile);
        return false;
    }
    if (!FindCharset(cmbCharset->currentText().trimmed().toStdString(), input.charset)) {
        ShowMistake(FormatMessage(msgUnknownCharset, {ToCp1251(cmbCharset->currentText())}), cmbCharset);
        return false;
    }
    cmbCharset->setEditText(QString::fromStdString(input.charset.name));
    TDateTime begin = 0, end = 0;
    try {
        begin = PeriodDate(meDateBegin);
        end = PeriodDate(meDateEnd);
    } catch (const TDateMistake& mistake) {
        ShowDateMistake(mistake.field);
        return false;
    }
    if (begin > end) {
        ShowMistake(FormatMessage(msgPeriodReversed, {DateToStr(begin), DateToStr(end)}), meDateBegin);
        return false;
    }
    TDateTime beginTime = 0, endTime = 0;
    for (auto [field, endOfDay, time] :
         {std::tuple{meTimeBegin, false, &beginTime}, std::tuple{meTimeEnd, true, &endTime}})
        if (!PeriodTime(field, endOfDay, *time)) {
            ShowMistake(msgBadTime, field);
            return false;
        }
    input.begin = begin + beginTime;
    input.end = end + endTime;
    if (input.begin > input.end) {
        ShowMistake(FormatMessage(msgPeriodReversed, {DateToStr(begin) + " " + ToCp1251(meTimeBegin->text().trimmed()),
                                                      DateToStr(end) + " " + ToCp1251(meTimeEnd->text().trimmed())}),
                    meTimeBegin);
        return false;
    }
    // The log's names come in the run's character set.
    const auto names = [&input](const QLineEdit* field) {
        std::vector<std::string> list;
        for (const QString& name : field->text().split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (!name.trimmed().isEmpty())
                list.push_back(ToEncoding(name.trimmed(), input.charset.encoding));
        return list;
    };
    input.filter.tables = names(edtTables);
    input.filter.excludedTables = names(edtExceptTables);
    input.filter.users = names(edtUsers);
    input.filter.operations = CheckedOperations();
    if (input.filter.operations.empty()) {
        ShowMistake(msgNoOperation, chbInserts);
        return false;
    }
    if (input.filter.operations == "IUD")
        input.filter.operations.clear();
    input.databaseFile = PathBytes(edtDatabaseFile->text());
    input.userName = ToCp1251(edtUserName->text());
    input.password = ToCp1251(edtPassword->text());
    input.undo = !rdbReproducingScript->isChecked();
    input.comments = chbIncludeComments->isChecked();
    return true;
}

void TfrmGUI::actExecuteExecute()
{
    if (running)
        return;
    TRunInput input;
    if (!ReadRunInput(input))
        return;
    const TCharset& charset = input.charset;
    const std::string& databaseFile = input.databaseFile;
    engine->SetDisableTriggers(chbDisableTriggers->isChecked());
    engine->SetSyncGenerators(chbSyncGenerators->isChecked());
    engine->SetFilter(input.filter);

    // The run writes the script and the XML log to files of their own; the
    // pages show them once it has succeeded, so that a run cancelled leaves
    // the pages as they were.
    auto script = std::make_shared<TRunOutput>();
    auto xml = std::make_shared<TRunOutput>();
    std::size_t records = 0;
    std::exception_ptr error;
    bool cancelled = false;
    {
        TRun run(*this);
        error = RunInWorker([&] {
            try {
                records = engine->WriteLog(databaseFile, input.userName, input.password, input.begin, input.end,
                                           input.comments, input.undo, script->File(), xml->File(), charset.name);
            } catch (...) {
                // A run cut short keeps its XML writer, on a file about to go.
                engine->Clear();
                throw;
            }
            script->Finish();
            xml->Finish();
        });
        cancelled = cancelRequested;
        emit RunEnded();
        if (run.Closing())
            return;
        if (!cancelled && !error) {
            // The first lines on the SQL page while the bar still shows the run.
            runStatus = TRunStatus::Read;
            entriesRead = records;
            ShowStatus();
            xmlError = engine->GetXMLError();
            sqlPage.output = script;
            sqlPage.encoding = charset.encoding;
            xmlPage.output = xmlError.empty() ? xml : nullptr;
            xmlPage.encoding = charset.encoding;
            ShowPage(sqlPage);
            xmlPage.memo->clear();
            xmlPage.view->Clear();
            xmlPage.pending = true;
        }
    }
    // The progress panel is gone before any message shows.
    if (cancelled) {
        runStatus = TRunStatus::Cancelled;
        ShowStatus();
        return;
    }
    if (error) {
        const Norvane::TFailure failure = Norvane::DescribeFailure(error);
        if (failure.kind == Norvane::TFailureKind::Interrupted)
            return;
        // No page keeps the script of another database or period, which a
        // save could take for this one's.
        ClearPages();
        runStatus = TRunStatus::None;
        ShowStatus();
        ShowRunFailure(failure, databaseFile, charset.encoding);
        return;
    }
    if (PageControl->currentWidget() == tsXML)
        FillXMLPage();
}

void TfrmGUI::actApplyExecute()
{
    if (running)
        return;
    TRunInput input;
    if (!ReadRunInput(input))
        return;
    Norvane::TApplyOptions options;
    options.source = input.databaseFile;
    options.user = input.userName;
    options.password = input.password;
    options.charset = input.charset.name;
    options.periodBegin = input.begin;
    options.periodEnd = input.end;
    options.undo = input.undo;
    options.filter = input.filter;
    // An undo stays in the database itself; an apply goes where the user says.
    QString target = PathText(input.databaseFile);
    if (!input.undo) {
        TApplyTarget chosen = LoadApplyTarget();
        if (!chosen.rememberPassword)
            chosen.password = targetPassword;
        if (!dialogs.GetApplyTarget(this, chosen, OpenDialogSetup()))
            return;
        targetPassword = chosen.password;
        SaveApplyTarget(chosen);
        target = chosen.location;
        options.target = PathBytes(chosen.location);
        options.targetUser = ToCp1251(chosen.user);
        options.targetPassword = ToCp1251(chosen.password);
        options.targetCharset = input.charset.name;
    }
    // Asked from the run's thread once the entries are counted, in the
    // run's snapshot of the log: the window's thread shows the question.
    options.confirm = [this, &input, &target](const Norvane::TApplySummary& planned) {
        bool yes = false;
        QMetaObject::invokeMethod(
            this,
            [&] {
                if (planned.entries > 0)
                    yes = dialogs.Confirm(this, ApplyQuestion(planned, input, target));
                else
                    dialogs.ShowMessage(this, WithPath(FormatMessage(input.undo ? msgUndoNothing : msgApplyNothing,
                                                                     {PathBytes(target)}),
                                                       PathBytes(target)));
            },
            Qt::BlockingQueuedConnection);
        return yes;
    };

    Norvane::TApplySummary summary;
    std::exception_ptr error;
    bool cancelled = false;
    {
        TRun run(*this);
        error = RunInWorker([&] {
            summary =
                Norvane::CApplier(options, [this](int& total, int& done) { RunProgress(total, done); }).Run();
        });
        // A cancel that came after the last entry changes nothing: the
        // apply committed.
        cancelled = error && cancelRequested;
        emit RunEnded();
        if (run.Closing())
            return;
    }
    if (cancelled) {
        runStatus = TRunStatus::Cancelled;
        ShowStatus();
        return;
    }
    if (error) {
        const Norvane::TFailure failure = Norvane::DescribeFailure(error);
        // Not the log's failure: the target's, said as it is.
        if (failure.kind == Norvane::TFailureKind::Failed)
            dialogs.ShowMessage(this, WithPath(failure.text, options.target), TMessageKind::Warning);
        else
            ShowRunFailure(failure, input.databaseFile, input.charset.encoding);
        return;
    }
    if (summary.declined)
        return;
    runStatus = input.undo ? TRunStatus::Undone : TRunStatus::Applied;
    entriesRead = summary.entries;
    ShowStatus();
    dialogs.ShowMessage(this, ApplySummary(summary, input, target));
}

namespace {

// The lines of a plan or a summary: each table with its inserts, updates
// and deletes. The names are in the run's encoding, the words Windows-1251.
QString TableLines(const Norvane::TApplySummary& summary, const std::string& encoding)
{
    QString lines;
    for (const Norvane::TApplySummary::TTable& table : summary.tables)
        lines += QStringLiteral("\n") + FromCp1251(FormatMessage(msgApplyTable, {"\x01", std::to_string(table.inserts),
                                                                                 std::to_string(table.updates),
                                                                                 std::to_string(table.deletes)}))
                                            .replace(QChar(1), FromEncoding(table.name, encoding));
    return lines;
}

}  // namespace

QString TfrmGUI::ApplyQuestion(const Norvane::TApplySummary& planned, const TRunInput& input,
                               const QString& target) const
{
    const std::string entries = std::to_string(planned.entries);
    const std::string text = input.undo ? FormatMessage(msgUndoQuestion, {entries, "\x02"})
                                        : FormatMessage(msgApplyQuestion, {entries, "\x03", "\x02"});
    return FromCp1251(text)
               .replace(QChar(2), target)
               .replace(QChar(3), PathText(input.databaseFile)) +
           TableLines(planned, input.charset.encoding);
}

QString TfrmGUI::ApplySummary(const Norvane::TApplySummary& summary, const TRunInput& input,
                              const QString& target) const
{
    const std::string seconds = QString::number(summary.seconds, 'f', 1).toStdString();
    const std::string text = FormatMessage(input.undo ? msgUndoDone : msgApplyDone,
                                           {std::to_string(summary.entries), "\x02", seconds});
    return FromCp1251(text).replace(QChar(2), target) + TableLines(summary, input.charset.encoding);
}

void TfrmGUI::ShowPage(TPage& page)
{
    page.pending = false;
    const bool large = page.output && page.output->Size() > editableBytes;
    page.note->setVisible(large);
    page.view->setVisible(large);
    page.memo->setVisible(!large);
    if (large) {
        page.memo->clear();
        page.view->SetSource(page.output, page.encoding);
        WordNote(page);
        return;
    }
    page.view->Clear();
    if (!page.output) {
        // A run without an XML log shows why.
        page.memo->setPlainText(EditorText(xmlError));
        return;
    }
    std::optional<TRun> run;
    if (!running)
        run.emplace(*this);
    FillEditor(page.memo, page.output->ReadAll(), page.encoding, sinceEvents);
}

void TfrmGUI::WordNote(TPage& page)
{
    if (page.output)
        page.note->setText(FromCp1251(FormatMessage(msgLargePage, {MiB(page.output->Size())})));
}

void TfrmGUI::FillXMLPage()
{
    if (xmlPage.pending)
        ShowPage(xmlPage);
}

void TfrmGUI::ClearPages()
{
    for (TPage* page : {&sqlPage, &xmlPage}) {
        page->output.reset();
        page->pending = false;
        page->encoding = "Windows-1251";
        page->view->Clear();
        page->view->hide();
        page->note->hide();
        page->memo->clear();
        page->memo->show();
    }
    xmlError.clear();
}

TfrmGUI::TPage& TfrmGUI::CurrentPage()
{
    return PageControl->currentWidget() == tsXML ? xmlPage : sqlPage;
}

void TfrmGUI::ShowStatus()
{
    QString text;
    if (runStatus == TRunStatus::Read)
        text = FromCp1251(FormatMessage(msgEntriesRead, {std::to_string(entriesRead)}));
    else if (runStatus == TRunStatus::Applied || runStatus == TRunStatus::Undone)
        text = FromCp1251(FormatMessage(runStatus == TRunStatus::Applied ? msgEntriesApplied : msgEntriesUndone,
                                        {std::to_string(entriesRead)}));
    else if (runStatus == TRunStatus::Cancelled)
        text = FromCp1251(msgCancelled);
    StatusBar->Panel(0)->setText(text);
}

void TfrmGUI::ShowRunFailure(const Norvane::TFailure& failure, const std::string& databaseFile,
                             const std::string& encoding)
{
    using Norvane::TFailureKind;
    const auto warn = [this](const QString& text) { dialogs.ShowMessage(this, text, TMessageKind::Warning); };
    switch (failure.kind) {
    case TFailureKind::Interrupted:
        // The window is on its way out.
        break;
    case TFailureKind::NoConnect:
        // The catalogue text, and below it the server's own diagnosis.
        warn(FromCp1251(msgNoConnect) + QStringLiteral("\n\n") + WithPath(failure.text, databaseFile));
        break;
    case TFailureKind::Charset:
        warn(FromCp1251(FormatMessage(msgCharsetWindow, {failure.charset, CharsetThatReads(failure.charset)})));
        break;
    case TFailureKind::NoLog:
        warn(FromCp1251(msgNoLog));
        break;
    case TFailureKind::IncompleteValue:
    case TFailureKind::InvalidEntry:
    // Those of an apply: the conflict names the entry and the row.
    case TFailureKind::Conflict:
    case TFailureKind::Bookkeeping:
    case TFailureKind::TargetRefused:
    case TFailureKind::TriggersLeftOff:
        warn(EditorText(failure.text, encoding));
        break;
    case TFailureKind::NotWritten:
    case TFailureKind::TimedOut:
        warn(EditorText(failure.text));
        break;
    case TFailureKind::NoSQLForm:
        // The value's table and field, and its type in words when it has them.
        warn(EditorText(failure.text, encoding) +
             (failure.typeName.empty() ? QString()
                                       : QStringLiteral("\n") + FromCp1251(FormatMessage(msgSQLType, {failure.typeName}))));
        break;
    case TFailureKind::Failed:
    case TFailureKind::Unforeseen:
        CreateExceptionFile(failure.text, !miRussian->isChecked());
        break;
    case TFailureKind::Unknown:
        warn(FromCp1251(msgUnforeseen));
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
    ShowMistake(text + " " + DateToStr(EncodeDate(year, 12, 31)), field);
}

QString TfrmGUI::SaveDialogStart(const char* key, const char* otherKey, const QString& defaultName) const
{
    const auto writableFolder = [](const QString& file) {
        const QFileInfo folder(QFileInfo(file).absolutePath());
        return folder.isDir() && folder.isWritable();
    };
    const QString last = PathFromSetting(settings->ReadString("Files", key, ""));
    if (!last.isEmpty() && writableFolder(last))
        return last;
    const QString name = last.isEmpty() ? defaultName : QFileInfo(last).fileName();
    const QString other = PathFromSetting(settings->ReadString("Files", otherKey, ""));
    if (!other.isEmpty() && writableFolder(other))
        return QFileInfo(other).absolutePath() + QLatin1Char('/') + name;
    return QDir::homePath() + QLatin1Char('/') + name;
}

bool TfrmGUI::SavePage(TPage& page, const std::string& path)
{
    // The run's own bytes while the page shows them unchanged: saved, the
    // script equals norvane-cli's, a value's line feeds included.
    // The XML page saves the log itself, whatever the page shows.
    if (page.output && (&page == &xmlPage || !page.view->isHidden() || !page.memo->document()->isModified())) {
        // On a thread of its own, as a run: a disk that takes its time
        // with hundreds of MiB holds up no event of the window.
        TRun run(*this);
        bool written = false;
        const std::shared_ptr<TRunOutput> output = page.output;
        if (const std::exception_ptr error = RunInWorker([&] {
                written = output->CopyTo(path, [this](int percent) {
                    progressTotal = 100;
                    progressDone = percent;
                    return !cancelRequested;
                });
            }))
            std::rethrow_exception(error);
        return written;
    }
    // Line feeds, as the run writes them.
    WriteFileAtomically(path, ToEncoding(page.memo->toPlainText(), page.encoding));
    return true;
}

void TfrmGUI::actSaveExecute()
{
    const bool sql = PageControl->currentWidget() == tsSQL;
    // The XML page saves the log itself, which must exist whole.
    if (!sql && !xmlPage.output) {
        if (!xmlError.empty())
            dialogs.ShowMessage(this, EditorText(xmlError), TMessageKind::Warning);
        else
            dialogs.ShowMessage(this, FromCp1251(msgNoXMLLog));
        return;
    }
    const char* key = sql ? "SQLFileName" : "XMLFileName";
    const QString byDefault = QFileInfo(PathText(ChangeFileExt(programPath, sql ? ".sql" : ".xml"))).fileName();
    const QString initial = SaveDialogStart(key, sql ? "XMLFileName" : "SQLFileName", byDefault);
    const QString name = sql ? dialogs.GetSaveFileName(this, SQLDialogSetup(), initial)
                             : dialogs.GetSaveFileName(this, XMLDialogSetup(), initial);
    if (name.isEmpty())
        return;
    try {
        // The name is kept for the next save only once this one succeeded.
        if (SavePage(sql ? sqlPage : xmlPage, PathBytes(name)))
            settings->WriteString("Files", key, PathToSetting(name));
    } catch (const FileError& e) {
        dialogs.ShowError(this, FileErrorText(e));
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

// The readme opens in a window of its own, beside the pages.
void TfrmGUI::actShowReadmeExecute()
{
    if (!frmReadme) {
        frmReadme = new QDialog(this, Qt::Window);
        frmReadme->setObjectName("frmReadme");
        frmReadme->setWindowIcon(windowIcon());
        auto* text = new QPlainTextEdit(frmReadme);
        text->setObjectName("mmReadme");
        text->setReadOnly(true);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, frmReadme);
        connect(buttons, &QDialogButtonBox::rejected, frmReadme, &QDialog::close);
        auto* layout = new QVBoxLayout(frmReadme);
        layout->addWidget(text);
        layout->addWidget(buttons);
        frmReadme->resize(640, 520);
    }
    ShowReadme();
    frmReadme->show();
    frmReadme->raise();
    frmReadme->activateWindow();
}

void TfrmGUI::ShowReadme()
{
    if (!frmReadme)
        return;
    frmReadme->setWindowTitle(FromCp1251(msgReadmeTitle));
    frmReadme->findChild<QPlainTextEdit*>("mmReadme")->setPlainText(EditorText(
        LoadResourceText(miRussian->isChecked() ? BuiltinTexts::kHelpRussian : BuiltinTexts::kHelpEnglish, "HELP")));
}

// Ctrl+F: the find bar under the pages, with the page's selection to look
// for when it is a short one.
void TfrmGUI::actFindExecute()
{
    const TPage& page = CurrentPage();
    QString selected;
    if (page.memo->isVisible())
        selected = page.memo->textCursor().selectedText();
    if (!selected.isEmpty() && selected.size() < 200 && !selected.contains(QChar::ParagraphSeparator))
        edtFind->setText(selected);
    pnlFind->show();
    edtFind->setFocus(Qt::ShortcutFocusReason);
    edtFind->selectAll();
}

void TfrmGUI::FindOnPage(bool backward)
{
    if (!pnlFind->isVisible() || edtFind->text().isEmpty()) {
        actFindExecute();
        if (edtFind->text().isEmpty())
            return;
    }
    lblFindResult->clear();
    TPage& page = CurrentPage();
    if (!page.view->isHidden()) {
        page.view->Find(edtFind->text(), backward);
        return;
    }
    // The editor: on from the cursor, then round from the other end once.
    QPlainTextEdit* memo = page.memo;
    const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    bool found = memo->find(edtFind->text(), flags);
    if (!found) {
        const QTextCursor before = memo->textCursor();
        memo->moveCursor(backward ? QTextCursor::End : QTextCursor::Start);
        found = memo->find(edtFind->text(), flags);
        if (!found)
            memo->setTextCursor(before);
    }
    ShowFindResult(found);
}

void TfrmGUI::ShowFindResult(bool found)
{
    lblFindResult->setText(found ? QString() : FromCp1251(FormatMessage(msgNotFound, {ToCp1251(edtFind->text())})));
}

void TfrmGUI::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The window shows once; a window restored from an icon is no new show.
    if (!shown && !event->spontaneous()) {
        shown = true;
        // Its frame is known once it shows: all of it on the screen.
        QTimer::singleShot(0, this, [this] { KeepOnScreen(); });
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
    // The welcome text goes only onto a page that holds no script: neither
    // a run's nor one the user typed.
    const QString page = mmSQL->toPlainText();
    const bool welcome = !sqlPage.output && (page.isEmpty() || page == EditorText(msgWelcome));
    UseQtTranslations();
    TQtLocalizableForm main(*this, components);
    LocalizeForm(main, path);
    if (frmAbout) {
        TQtLocalizableForm about(*frmAbout, frmAbout->Components());
        LocalizeForm(about, path);
    }
    LoadMessages(path);
    if (welcome) {
        mmSQL->setPlainText(EditorText(msgWelcome));
        sqlPage.encoding = "Windows-1251";
    }
    // The window's own lines in the new language.
    for (TPage* p : {&sqlPage, &xmlPage})
        WordNote(*p);
    ShowStatus();
    ShowReadme();
    lblFindResult->clear();
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
        // A run under way ends at once, and the window with it.
        closeRequested = true;
        cancelRequested = true;
        TDBManager::GetInstance().Cancel();
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

bool TfrmGUI::eventFilter(QObject* watched, QEvent* event)
{
    // Esc in the find field puts the find bar away, back to the page.
    if (watched == edtFind && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !running) {
        pnlFind->hide();
        TPage& page = CurrentPage();
        if (page.view->isHidden())
            page.memo->setFocus();
        else
            page.view->setFocus();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmGUI::CreateExceptionFile(const std::string& Text, bool English)
{
    const std::string path = WriteExceptionFile(Text, programDir);
    dialogs.ShowMessage(this, WithPath(ExceptionNotice(path, English), path), TMessageKind::Warning);
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
