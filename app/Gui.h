#pragma once
#include "app/Dialogs.h"
#include "app/core/ProgramPath.h"
#include "locale/Regional.h"

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>

#include <exception>
#include <memory>
#include <string>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
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
class TStatusBar;
class TfrmAbout;
class TSignalWatch;

namespace Norvane {
class CNorvane;
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
    // Whether the engine is reading a log right now.
    bool Running() const { return running; }
    // From now on SIGTERM (the desktop ending the session) and Ctrl+C end the
    // window: see Terminate. The program does this once, before any run.
    void EndOnSignals();
    // Ends the window as File > Exit does, settings stored, but without a
    // question or a message: an open dialog is cancelled and a run given up.
    void Terminate();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class TRun;

    // The form (GuiForm.cpp): the controls, then the menus and actions.
    void CreateControls();
    void CreateActions();
    // What the actions do.
    void ConnectActions();

    void actExecuteExecute();
    void actSaveExecute();
    void actCloseExecute();
    void actSelectDatabaseExecute();
    void actAboutExecute();
    void actShowReadmeExecute();
    void ShowProgress(int& total, int& done);
    // Fills the XML page with the last run's XML log, once, when the page is
    // first shown after the run: a long log's text costs the window memory
    // only when it is looked at.
    void FillXMLPage();

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
    // Brings a window stored on a screen no longer there onto the nearest one.
    void KeepOnScreen();

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
                        const std::string& encoding, bool english);
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
    QWidget* pnlProgressBar;
    QProgressBar* ProgressBar1;
    QTabWidget* PageControl;
    QWidget* tsSQL;
    QWidget* tsXML;
    QPlainTextEdit* mmSQL;
    QPlainTextEdit* mmXML;
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
    QAction* actSave;
    QAction* actClose;
    QAction* actAbout;
    QAction* actShowReadme;
    QAction* actCreateIntFile;

    // The encoding of the text on the SQL page, in which it is saved: that
    // of the run that made it, Windows-1251 for the program's own texts. (The
    // XML page is saved from the engine's document.)
    std::string sqlEncoding = "Windows-1251";
    // The encoding of the run whose XML log the XML page has yet to show.
    std::string xmlEncoding;
    bool xmlPending = false;
    bool shown = false;
    bool running = false;
    bool closeRequested = false;
    bool terminating = false;
    std::unique_ptr<TSignalWatch> signalWatch;
    QElapsedTimer sinceEvents;

    std::unique_ptr<TIniFile> settings;
    std::unique_ptr<QTranslator> qtTranslator;
    std::unique_ptr<Norvane::CNorvane> engine;
};
