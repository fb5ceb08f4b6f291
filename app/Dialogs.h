#pragma once
#include <QString>
#include <QStringList>

class QWidget;

// What a standard file dialog asks: the dialog's name (OpenDialog1, sdSQL,
// sdXML), its title, its filters in Qt's "Name (*.ext)" form and the
// extension added to a typed name that has none.
struct TFileDialogSetup {
    QString name;
    QString title;
    QStringList filters;
    QString defaultSuffix;
};

// The sister database an apply goes to, as the user gives it: its location
// (a file, or host:path on a server), user and password, and whether the
// password is to be kept in the settings.
struct TApplyTarget {
    QString location;
    QString user;
    QString password;
    bool rememberPassword = false;
};

// What a message is, for its box's icon: news (information) or something
// that went wrong or needs mending (warning).
enum class TMessageKind { Information, Warning };

// Every message box and file dialog of the window goes through this one
// seam, so that the tests can answer them. The default shows Qt's boxes and
// dialogs and returns when the user has closed them.
class TDialogs {
public:
    virtual ~TDialogs() = default;
    // A message with an OK button and the icon of its kind.
    virtual void ShowMessage(QWidget* parent, const QString& text, TMessageKind kind = TMessageKind::Information);
    // A question with Yes and No; whether the answer was Yes.
    virtual bool Confirm(QWidget* parent, const QString& text);
    // The error box of an error that no handler took; the window stays open.
    virtual void ShowError(QWidget* parent, const QString& text);
    // The chosen file's path, or an empty text when the user cancels.
    virtual QString GetOpenFileName(QWidget* parent, const TFileDialogSetup& setup, const QString& fileName);
    // Asks before replacing an existing file.
    virtual QString GetSaveFileName(QWidget* parent, const TFileDialogSetup& setup, const QString& fileName);
    // Asks for the database an apply goes to, starting from the target
    // given; its file is picked through GetOpenFileName with the setup.
    // Whether the user said OK (with a location).
    virtual bool GetApplyTarget(QWidget* parent, TApplyTarget& target, const TFileDialogSetup& pick);
};
