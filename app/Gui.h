#pragma once
#include "app/Dialogs.h"
#include "core/Charset.h"
#include "core/ProgramPath.h"
#include "engine/Cselection.h"
#include "locale/Regional.h"

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QRadioButton;
class QTabWidget;
class QToolButton;
class QTranslator;
class TIniFile;
class TRunOutput;
class TStatusBar;
class TTextView;
class TfrmAbout;
class TLogMenu;
class TSignalWatch;

namespace Norvane {
class CNorvane;
struct TApplySummary;
struct TFailure;
}

// The main window: connection parameters, script options and period; runs
// the script engine and shows the SQL script and the XML log; saves them,
// shows the readme and the About box; keeps the user's settings in the
// settings file (the program's name with ".ini") beside the program, or in
// the user's configuration folder when the program's folder is not the
// user's to write (SettingsFolder).
class TfrmGUI : public QMainWindow {
    Q_OBJECT
public:
    // programPath names the program file whose folder holds the settings,
    // language and report files, when the program may write there.
    explicit TfrmGUI(TDialogs& dialogs, std::string programPath = ExecutablePath(), QWidget* parent = nullptr);
    ~TfrmGUI() override;

    // The About box that actAbout shows.
    void SetAboutForm(TfrmAbout* about) { frmAbout = about; }
    // The components in creation order, for the language files.
    const QList<QObject*>& Components() const { return components; }
    // Whether the engine is reading a log right now (or a page is being
    // filled or saved).
    bool Running() const { return running; }
    // The largest text a page holds in an editor, where it can be changed;
    // a larger one is shown read only from the file the run wrote it to.
    void SetEditableBytes(std::int64_t bytes) { editableBytes = bytes; }
    static constexpr std::int64_t kEditableBytes = 4 << 20;
    // From now on SIGTERM (the desktop ending the session) and Ctrl+C end the
    // window: see Terminate. The program does this once, before any run.
    void EndOnSignals();
    // Ends the window as File > Exit does, settings stored, but without a
    // question or a message: an open dialog is cancelled and a run given up.
    void Terminate();

signals:
    // The engine has finished a run (its pages are filled after): for
    // measurements of the window.
    void RunEnded();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class TRun;
    // One page of results: an editor for a text small enough to edit, or
    // the read-only view of the file the run wrote, with a line saying so.
    struct TPage {
        QWidget* sheet = nullptr;
        QLabel* note = nullptr;
        QPlainTextEdit* memo = nullptr;
        TTextView* view = nullptr;
        // The run's text the page shows, or none (the page's own text).
        std::shared_ptr<TRunOutput> output;
        // The encoding of the text, in which the page is saved.
        std::string encoding = "Windows-1251";
        // The run's text waits to be shown until the page first is.
        bool pending = false;
    };
    // What the status bar says about the last run.
    enum class TRunStatus { None, Read, Applied, Undone, Cancelled };

    // The form (GuiForm.cpp): the controls, then the menus and actions.
    void CreateControls();
    void CreateActions();
    // What the actions do.
    void ConnectActions();

    void actExecuteExecute();
    // Applies the period's changes that the filters take to a sister
    // database the user picks, or with Undo script chosen undoes them in the
    // database itself: after a question that says how many
    // entries of each table and operation, on a thread of its own with the
    // progress bar and Cancel; the summary or the conflict at the end.
    void actApplyExecute();
    void actCancelExecute();
    void actSaveExecute();
    void actCloseExecute();
    void actSelectDatabaseExecute();
    void actAboutExecute();
    void actShowReadmeExecute();
    void actFindExecute();
    // Runs the work on a thread of its own while the window goes on taking
    // its events; returns what the work threw.
    std::exception_ptr RunInWorker(const std::function<void()>& work);
    // The progress event of a run or an apply on the worker thread: it only
    // leaves the counts for the window, and stops the work once the user
    // has asked for it.
    void RunProgress(int& total, int& done);
    // The letters of the operations checked, of I, U and D in that order.
    std::string CheckedOperations() const;
    // The progress bar from what the run last told, a few times a second.
    void ShowProgress();
    // Shows a page's run text: in its editor when small enough, else in its view.
    void ShowPage(TPage& page);
    // Fills the XML page with the last run's XML log, once, when the page is
    // first shown after the run: a long log's text costs the window memory
    // only when it is looked at.
    void FillXMLPage();
    // Both pages empty, holding no run's text.
    void ClearPages();
    // The line above a page shown read only, in the current language.
    void WordNote(TPage& page);
    TPage& CurrentPage();
    // The page's text as it is saved: the run's file when the page shows
    // it unchanged, else the editor's text with line feeds, in the page's
    // encoding. Whether it was written (Cancel stops a long copy).
    bool SavePage(TPage& page, const std::string& path);
    // Where a save dialog starts: the last file saved there when its folder
    // is still there to write in, else that of the other page, else the
    // user's home.
    QString SaveDialogStart(const char* key, const char* otherKey, const QString& defaultName) const;
    void FindOnPage(bool backward);
    void ShowFindResult(bool found);
    void ShowStatus();
    void ShowReadme();

    // The interface language (Locale.ini beside the program).
    void FormShow();
    void LanguageClick(QAction* item, bool checked);
    void actCreateIntFileExecute();
    void InitLanguage(bool atStartup);
    void ApplyLanguageFile(const std::string& path);
    // Qt's own texts (file dialogs, the buttons of message boxes, the
    // editors' menu) in the language of the checked item.
    void UseQtTranslations();

    // The settings file (Inimanage.cpp).
    void LoadSettings();
    void SaveSettings();
    // The database the last apply went to, kept when it was picked.
    TApplyTarget LoadApplyTarget() const;
    void SaveApplyTarget(const TApplyTarget& target);
    // Brings a window stored on a screen no longer there onto the nearest one.
    void KeepOnScreen();

    // What a run or an apply takes from the window, checked.
    struct TRunInput {
        std::string databaseFile;
        std::string userName;
        std::string password;
        TCharset charset;
        TDateTime begin = 0;  // the period's first moment
        TDateTime end = 0;    // and the moment it ends, itself excluded
        NorvaneImpl::TEntryFilter filter;
        bool undo = false;
        bool comments = true;
    };
    // Reads it; false after the user was told what to mend, the focus put
    // there.
    bool ReadRunInput(TRunInput& input);
    // The time of day in the field: false when it is none; an empty field
    // is 00:00, or with endOfDay the end of the day (24:00, which it may
    // also say).
    static bool PeriodTime(const QLineEdit* field, bool endOfDay, TDateTime& time);
    // The question before an apply, and its summary after.
    QString ApplyQuestion(const Norvane::TApplySummary& planned, const TRunInput& input, const QString& target) const;
    QString ApplySummary(const Norvane::TApplySummary& summary, const TRunInput& input, const QString& target) const;

    // A period date the user typed that is no date: which field.
    struct TDateMistake {
        QLineEdit* field;
    };
    // The date in the field; throws TDateMistake when it is none.
    TDateTime PeriodDate(QLineEdit* field) const;
    // Tells the user which field and what form, and puts the focus there.
    void ShowDateMistake(QLineEdit* field);

    // Tells the user why a run failed: a message, or the report file.
    void ShowRunFailure(const Norvane::TFailure& failure, const std::string& databaseFile,
                        const std::string& encoding);
    // A message about something to mend, with the focus put where it is.
    void ShowMistake(const std::string& text, QWidget* field);
    // Writes the report of an unforeseen error and tells the user where it is.
    void CreateExceptionFile(const std::string& Text, bool English);
    // The one handler of errors that no other handler takes: the error box.
    void ShowException(std::exception_ptr error);
    // Runs a handler under ShowException.
    template <class F>
    void Handle(F&& handler) noexcept;
    void SetRunning(bool on);

    template <class T>
    T* Own(T* component, const char* name);

    TDialogs& dialogs;
    std::string programPath;
    std::string programDir;  // where the settings, language and report files are
    TfrmAbout* frmAbout = nullptr;
    TLogMenu* logMenu = nullptr;  // owned by the window
    QList<QObject*> components;

    QLineEdit* edtDatabaseFile;
    QToolButton* SpeedButton1;
    QLineEdit* edtUserName;
    QLineEdit* edtPassword;
    QCheckBox* chbRememberPassword;
    QComboBox* cmbCharset;
    QRadioButton* rdbReproducingScript;
    QRadioButton* rdbUndoScript;
    QCheckBox* chbIncludeComments;
    QCheckBox* chbDisableTriggers;
    QCheckBox* chbSyncGenerators;
    QLineEdit* meDateBegin;
    QLineEdit* meDateEnd;
    QLineEdit* meTimeBegin;
    QLineEdit* meTimeEnd;
    QLineEdit* edtTables;
    QLineEdit* edtExceptTables;
    QLineEdit* edtUsers;
    QCheckBox* chbInserts;
    QCheckBox* chbUpdates;
    QCheckBox* chbDeletes;
    QWidget* pnlProgressBar;
    QProgressBar* ProgressBar1;
    QToolButton* btnCancel;
    QTabWidget* PageControl;
    QWidget* tsSQL;
    QWidget* tsXML;
    QPlainTextEdit* mmSQL;
    QPlainTextEdit* mmXML;
    QWidget* pnlFind;
    QLineEdit* edtFind;
    QLabel* lblFindResult;
    TStatusBar* StatusBar;
    QMenu* miFile;
    QMenu* miLanguage;
    QMenu* miHelp;
    QAction* miEnglish;
    QAction* miRussian;
    QActionGroup* languageGroup;
    QMenu* PopupMenu1;
    QAction* actSelectDatabase;
    QAction* actExecute;
    QAction* actApply;
    QAction* actCancel;
    QAction* actFind;
    QAction* actFindNext;
    QAction* actFindPrevious;
    QAction* actSave;
    QAction* actClose;
    QAction* actAbout;
    QAction* actShowReadme;
    QAction* actCreateIntFile;

    TPage sqlPage;
    TPage xmlPage;
    // Why the last run's XML log could not be made, when it could not.
    std::string xmlError;
    std::int64_t editableBytes = kEditableBytes;
    bool shown = false;
    bool running = false;
    bool closeRequested = false;
    bool terminating = false;
    // Set by Cancel, a close or a signal; the run (on its thread) stops at
    // the next entry, a database call under way is cut short.
    std::atomic<bool> cancelRequested{false};
    // What the run last told of its progress, read by ShowProgress.
    std::atomic<int> progressTotal{0};
    std::atomic<int> progressDone{0};
    QTimer progressTimer;
    TRunStatus runStatus = TRunStatus::None;
    // The entries the last run read, applied or undid.
    std::size_t entriesRead = 0;
    // The password of the last apply's target for the session, when it is
    // not kept in the settings.
    QString targetPassword;
    QPointer<QDialog> frmReadme;
    std::unique_ptr<TSignalWatch> signalWatch;
    QElapsedTimer sinceEvents;

    std::unique_ptr<TIniFile> settings;
    std::unique_ptr<QTranslator> qtTranslator;
    std::unique_ptr<Norvane::CNorvane> engine;
};
