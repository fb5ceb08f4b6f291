// The window's form: its controls, menus and actions, as the designer would
// lay them out. What they do is in Gui.cpp.
#include "app/Flowlayout.h"
#include "app/Gui.h"
#include "app/Localize.h"
#include "app/Statusbar.h"
#include "app/Textview.h"
#include "core/Charset.h"
#include "locale/Regional.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QApplication>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Day, month and four-digit year in the locale's order, joined by its date
// separator; '_' marks a blank position.
QString DateMask()
{
    const TFormatSettings& fs = FormatSettings();
    QString separator = QChar::fromLatin1(fs.DateSeparator);
    if (QStringLiteral("AaNnXx90Dd#HhBb><!\\[]{};").contains(separator))
        separator.prepend(QLatin1Char('\\'));
    QStringList parts;
    for (char part : fs.order)
        parts << (part == 'Y' ? QStringLiteral("9999") : QStringLiteral("99"));
    return parts.join(separator) + QStringLiteral(";_");
}

// Tab moves on from a multi-line editor, as in the platform's own editors,
// so that tabbing through the window never changes a script; Ctrl+Tab types
// the tab character instead (the page control would take it otherwise).
class TTabKeys : public QObject {
public:
    explicit TTabKeys(QPlainTextEdit* aMemo) : QObject(aMemo), memo(aMemo) { memo->setTabChangesFocus(true); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == memo && event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::ControlModifier && !memo->isReadOnly()) {
                memo->insertPlainText(QStringLiteral("\t"));
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPlainTextEdit* memo;
};

}  // namespace

template <class T>
T* TfrmGUI::Own(T* component, const char* name)
{
    component->setObjectName(QString::fromLatin1(name));
    components.append(component);
    return component;
}

void TfrmGUI::CreateControls()
{
    auto* central = new QWidget(this);
    central->setObjectName("pnlMain");
    setCentralWidget(central);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* pnlDB = Own(new QWidget(central), "pnlDB");
    auto* lblDatabaseFile = Own(new QLabel("Database file:", pnlDB), "lblDatabaseFile");
    edtDatabaseFile = Own(new QLineEdit(pnlDB), "edtDatabaseFile");
    SpeedButton1 = Own(new QToolButton(pnlDB), "SpeedButton1");
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    SpeedButton1->setToolTip("Select Database file for creating log script");
    // A speed button takes no focus (it would show no mark of it): Ctrl+O
    // is its key.
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    auto* lblUserName = Own(new QLabel("User name:", pnlDB), "lblUserName");
    edtUserName = Own(new QLineEdit(pnlDB), "edtUserName");
    auto* lblPassword = Own(new QLabel("Password:", pnlDB), "lblPassword");
    edtPassword = Own(new QLineEdit(pnlDB), "edtPassword");
    edtPassword->setEchoMode(QLineEdit::Password);
    edtPassword->setStyleSheet("lineedit-password-character: 42");
    chbRememberPassword = Own(new QCheckBox("Remember password", pnlDB), "chbRememberPassword");
    // The character set of the connection, and so of the script and the
    // XML log: one of Firebird's names, or any other the user types.
    auto* lblCharset = Own(new QLabel("Character set:", pnlDB), "lblCharset");
    cmbCharset = Own(new QComboBox(pnlDB), "cmbCharset");
    cmbCharset->setEditable(true);
    cmbCharset->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& name : CharsetNames())
        cmbCharset->addItem(QString::fromStdString(name));
    cmbCharset->setMinimumWidth(cmbCharset->fontMetrics().horizontalAdvance(QStringLiteral("UNICODE_FSS")) + 40);
    lblDatabaseFile->setBuddy(edtDatabaseFile);
    lblUserName->setBuddy(edtUserName);
    lblPassword->setBuddy(edtPassword);
    lblCharset->setBuddy(cmbCharset);
    for (QLineEdit* e : {edtUserName, edtPassword}) {
        e->setMinimumWidth(70);
        e->setMaximumWidth(160);
    }

    auto* fileRow = new QHBoxLayout;
    fileRow->setSpacing(2);
    fileRow->addWidget(edtDatabaseFile, 1);
    fileRow->addWidget(SpeedButton1);
    auto* loginRow = new QHBoxLayout;
    loginRow->addWidget(edtUserName, 1);
    loginRow->addSpacing(6);
    loginRow->addWidget(lblPassword);
    loginRow->addWidget(edtPassword, 1);
    loginRow->addSpacing(6);
    loginRow->addWidget(chbRememberPassword);
    loginRow->addStretch(0);
    auto* db = new QGridLayout(pnlDB);
    db->setContentsMargins(8, 8, 8, 4);
    db->setVerticalSpacing(6);
    db->addWidget(lblDatabaseFile, 0, 0);
    db->addLayout(fileRow, 0, 1);
    db->addWidget(lblUserName, 1, 0);
    db->addLayout(loginRow, 1, 1);
    auto* charsetRow = new QHBoxLayout;
    charsetRow->addWidget(cmbCharset);
    charsetRow->addStretch(1);
    db->addWidget(lblCharset, 2, 0);
    db->addLayout(charsetRow, 2, 1);
    column->addWidget(pnlDB);

    auto* pnlScriptSettings = Own(new QWidget(central), "pnlScriptSettings");
    rdbReproducingScript = Own(new QRadioButton("Reproducing script", pnlScriptSettings), "rdbReproducingScript");
    rdbUndoScript = Own(new QRadioButton("Undo script", pnlScriptSettings), "rdbUndoScript");
    chbIncludeComments =
        Own(new QCheckBox("Include date and user comments", pnlScriptSettings), "chbIncludeComments");
    rdbReproducingScript->setChecked(true);
    chbIncludeComments->setChecked(true);
    auto* options = new TFlowLayout(pnlScriptSettings, 16);
    options->setContentsMargins(8, 4, 8, 4);
    options->addWidget(rdbReproducingScript);
    options->addWidget(rdbUndoScript);
    options->addWidget(chbIncludeComments);
    // The longest option: the flow puts it on a line of its own when the
    // window is narrow, and the row keeps the width of the others.
    chbDisableTriggers = Own(new QCheckBox("Switch off the target's triggers while the script runs", pnlScriptSettings),
                             "chbDisableTriggers");
    options->addWidget(chbDisableTriggers);
    chbSyncGenerators =
        Own(new QCheckBox("Move the target's generators up to the source's", pnlScriptSettings), "chbSyncGenerators");
    options->addWidget(chbSyncGenerators);
    column->addWidget(pnlScriptSettings);

    auto* pnlDates = Own(new QWidget(central), "pnlDates");
    auto* lblPeriodSince = Own(new QLabel("Data changes period: since", pnlDates), "lblPeriodSince");
    meDateBegin = Own(new QLineEdit(pnlDates), "meDateBegin");
    auto* lblPeriodTo = Own(new QLabel("to", pnlDates), "lblPeriodTo");
    meDateEnd = Own(new QLineEdit(pnlDates), "meDateEnd");
    for (QLineEdit* e : {meDateBegin, meDateEnd}) {
        e->setInputMask(DateMask());
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("00.00.00000")) + 16);
    }
    // A time of day narrows a day: empty, the period starts at the first
    // day's 00:00 and ends with its last day.
    meTimeBegin = Own(new QLineEdit(pnlDates), "meTimeBegin");
    meTimeEnd = Own(new QLineEdit(pnlDates), "meTimeEnd");
    meTimeBegin->setPlaceholderText(QStringLiteral("00:00"));
    meTimeEnd->setPlaceholderText(QStringLiteral("24:00"));
    for (QLineEdit* e : {meTimeBegin, meTimeEnd}) {
        e->setMaxLength(5);
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("00:000")) + 16);
    }
    lblPeriodSince->setBuddy(meDateBegin);
    lblPeriodTo->setBuddy(meDateEnd);
    auto* dates = new QHBoxLayout(pnlDates);
    dates->setContentsMargins(8, 4, 8, 6);
    dates->addWidget(lblPeriodSince);
    dates->addWidget(meDateBegin);
    dates->addWidget(meTimeBegin);
    dates->addSpacing(4);
    dates->addWidget(lblPeriodTo);
    dates->addWidget(meDateEnd);
    dates->addWidget(meTimeEnd);
    dates->addStretch();
    column->addWidget(pnlDates);

    // Which of the period's changes: names as the log has them, separated
    // by commas; an empty field takes every one.
    auto* pnlFilters = Own(new QWidget(central), "pnlFilters");
    auto* lblTables = Own(new QLabel("Tables:", pnlFilters), "lblTables");
    edtTables = Own(new QLineEdit(pnlFilters), "edtTables");
    auto* lblExceptTables = Own(new QLabel("but not:", pnlFilters), "lblExceptTables");
    edtExceptTables = Own(new QLineEdit(pnlFilters), "edtExceptTables");
    auto* lblUsers = Own(new QLabel("Users:", pnlFilters), "lblUsers");
    edtUsers = Own(new QLineEdit(pnlFilters), "edtUsers");
    chbInserts = Own(new QCheckBox("Inserts", pnlFilters), "chbInserts");
    chbUpdates = Own(new QCheckBox("Updates", pnlFilters), "chbUpdates");
    chbDeletes = Own(new QCheckBox("Deletes", pnlFilters), "chbDeletes");
    lblTables->setBuddy(edtTables);
    lblExceptTables->setBuddy(edtExceptTables);
    lblUsers->setBuddy(edtUsers);
    auto* filters = new TFlowLayout(pnlFilters, 6);
    filters->setContentsMargins(8, 0, 8, 6);
    for (auto [label, edit] : {std::pair{lblTables, edtTables}, std::pair{lblExceptTables, edtExceptTables},
                               std::pair{lblUsers, edtUsers}}) {
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("ORDER_LINES, GOODS")));
        // A label and its field stay on one line.
        auto* pair = new QWidget(pnlFilters);
        auto* row = new QHBoxLayout(pair);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(label);
        row->addWidget(edit);
        filters->addWidget(pair);
    }
    for (QCheckBox* box : {chbInserts, chbUpdates, chbDeletes}) {
        box->setChecked(true);
        filters->addWidget(box);
    }
    column->addWidget(pnlFilters);

    pnlProgressBar = Own(new QWidget(central), "pnlProgressBar");
    ProgressBar1 = Own(new QProgressBar(pnlProgressBar), "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    // Shows actCancel's caption (it is no speed button of the language
    // files).
    btnCancel = new QToolButton(pnlProgressBar);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* progress = new QHBoxLayout(pnlProgressBar);
    progress->setContentsMargins(8, 2, 8, 4);
    progress->addWidget(ProgressBar1, 1);
    progress->addWidget(btnCancel);
    pnlProgressBar->hide();
    column->addWidget(pnlProgressBar);

    auto* pnlTextEditor = Own(new QWidget(central), "pnlTextEditor");
    PageControl = Own(new QTabWidget(pnlTextEditor), "PageControl");
    tsSQL = Own(new QWidget, "tsSQL");
    mmSQL = Own(new QPlainTextEdit(tsSQL), "mmSQL");
    tsXML = Own(new QWidget, "tsXML");
    mmXML = Own(new QPlainTextEdit(tsXML), "mmXML");
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // Each page: the editor, or, for a text too long to edit, its view with
    // a line above that says so.
    for (auto [page, sheet, memo, name] : {std::tuple{&sqlPage, tsSQL, mmSQL, "SQL"}, std::tuple{&xmlPage, tsXML, mmXML, "XML"}}) {
        page->sheet = sheet;
        page->memo = memo;
        page->note = new QLabel(sheet);
        page->note->setObjectName(QStringLiteral("lbl%1Note").arg(QLatin1String(name)));
        page->note->setWordWrap(true);
        page->note->hide();
        page->view = new TTextView(sheet);
        page->view->setObjectName(QStringLiteral("tv%1").arg(QLatin1String(name)));
        page->view->hide();
        for (QAbstractScrollArea* area : std::initializer_list<QAbstractScrollArea*>{memo, page->view}) {
            area->setFont(fixed);
            area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            area->setContextMenuPolicy(Qt::CustomContextMenu);
        }
        memo->installEventFilter(new TTabKeys(memo));
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(2, 2, 2, 2);
        layout->addWidget(page->note);
        layout->addWidget(memo);
        layout->addWidget(page->view);
    }
    PageControl->addTab(tsSQL, "SQL");
    PageControl->addTab(tsXML, "XML");
    PageControl->setCurrentWidget(tsSQL);

    // Ctrl+F: what to look for on the page shown.
    pnlFind = Own(new QWidget(pnlTextEditor), "pnlFind");
    auto* lblFind = Own(new QLabel("Find:", pnlFind), "lblFind");
    edtFind = Own(new QLineEdit(pnlFind), "edtFind");
    lblFind->setBuddy(edtFind);
    lblFindResult = new QLabel(pnlFind);
    lblFindResult->setObjectName("lblFindResult");
    auto* findRow = new QHBoxLayout(pnlFind);
    findRow->setContentsMargins(2, 2, 2, 0);
    findRow->addWidget(lblFind);
    findRow->addWidget(edtFind, 1);
    for (const char* name : {"btnFindNext", "btnFindPrevious"}) {
        auto* button = new QToolButton(pnlFind);
        button->setObjectName(name);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        findRow->addWidget(button);
    }
    findRow->addWidget(lblFindResult, 1);
    auto* closeFind = new QToolButton(pnlFind);
    closeFind->setObjectName("btnCloseFind");
    closeFind->setAutoRaise(true);
    closeFind->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    closeFind->setFocusPolicy(Qt::NoFocus);
    connect(closeFind, &QToolButton::clicked, pnlFind, &QWidget::hide);
    findRow->addWidget(closeFind);
    // Esc in the find field puts the bar away (a run's Esc is Cancel).
    edtFind->installEventFilter(this);
    pnlFind->hide();

    auto* editor = new QVBoxLayout(pnlTextEditor);
    editor->setContentsMargins(4, 2, 4, 2);
    editor->addWidget(PageControl, 1);
    editor->addWidget(pnlFind);
    column->addWidget(pnlTextEditor, 1);

    StatusBar = Own(new TStatusBar(this), "StatusBar");
    // Wide enough to say how many entries a run read.
    StatusBar->AddPanel(260);
    StatusBar->AddPanel(50);
    setStatusBar(StatusBar);
}

void TfrmGUI::CreateActions()
{
    miFile = Own(menuBar()->addMenu("&File"), "miFile");
    miLanguage = Own(menuBar()->addMenu("&Language"), "miLanguage");
    miEnglish = Own(new QAction("&English", this), "miEnglish");
    miRussian = Own(new QAction(QStringLiteral("&\u0420\u0443\u0441\u0441\u043A\u0438\u0439"), this), "miRussian");
    miHelp = Own(menuBar()->addMenu("&?"), "miHelp");
    // Radio items: a click on the checked one unchecks it for a moment, which
    // tells LanguageClick that nothing is to be done.
    languageGroup = new QActionGroup(this);
    languageGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction* item : {miEnglish, miRussian}) {
        MarkAsMenuItem(item);
        item->setCheckable(true);
        languageGroup->addAction(item);
        miLanguage->addAction(item);
    }
    miEnglish->setChecked(true);

    auto action = [this](const char* name, const char* caption, const char* hint, QKeySequence shortcut) {
        QAction* a = Own(new QAction(caption, this), name);
        a->setStatusTip(hint);
        a->setToolTip(hint);
        a->setShortcut(shortcut);
        addAction(a);
        return a;
    };
    actSelectDatabase = action("actSelectDatabase", "Select &database file",
                               "Select Database file for creating log script", QKeySequence(Qt::CTRL | Qt::Key_O));
    actExecute = action("actExecute", "&Create script",
                        "Build script whith IB Expert log of the specified DB file", QKeySequence(Qt::Key_F9));
    actApply = action("actApply", "&Apply to database...",
                      "Apply the period's changes to a sister database (with Undo script: undo them in this one)",
                      QKeySequence(Qt::CTRL | Qt::Key_F9));
    actSave = action("actSave", "&Save as", "Save the editor contents to file", QKeySequence(Qt::CTRL | Qt::Key_S));
    actClose = action("actClose", "E&xit", "", {});
    actAbout = action("actAbout", "&About", "", {});
    actShowReadme = action("actShowReadme", "R&eadme", "", {});
    actCreateIntFile = action("actCreateIntFile", "actCreateIntFile", "", QKeySequence(Qt::CTRL | Qt::Key_F3));
    actCancel = action("actCancel", "Cancel", "Stop the run; the pages stay as they were",
                       QKeySequence(Qt::Key_Escape));
    actCancel->setEnabled(false);
    actFind = action("actFind", "&Find...", "Find a text on the page", QKeySequence::Find);
    actFindNext = action("actFindNext", "Find &next", "", QKeySequence::FindNext);
    actFindPrevious = action("actFindPrevious", "Find &previous", "", QKeySequence::FindPrevious);
    btnCancel->setDefaultAction(actCancel);
    pnlFind->findChild<QToolButton*>("btnFindNext")->setDefaultAction(actFindNext);
    pnlFind->findChild<QToolButton*>("btnFindPrevious")->setDefaultAction(actFindPrevious);
    actSelectDatabase->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    actExecute->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    actSave->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));

    miFile->addAction(actSelectDatabase);
    miFile->addAction(actExecute);
    miFile->addAction(actApply);
    miFile->addAction(actSave);
    miFile->addAction(actFind);
    miFile->addSeparator();
    miFile->addAction(actClose);
    miHelp->addAction(actAbout);
    miHelp->addSeparator();
    miHelp->addAction(actShowReadme);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    PopupMenu1->addAction(actExecute);
    PopupMenu1->addAction(actSave);
    PopupMenu1->addAction(actFind);
    // The editor's own items (undo, cut, copy, paste, select all) come first,
    // the window's below them.
    for (QPlainTextEdit* memo : {mmSQL, mmXML})
        connect(memo, &QWidget::customContextMenuRequested, this, [this, memo](const QPoint& at) {
            QMenu* menu = memo->createStandardContextMenu(at);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->addSeparator();
            menu->addActions(PopupMenu1->actions());
            menu->popup(memo->viewport()->mapToGlobal(at));
        });
    // A read-only view: copy and select all, worded as Qt words the
    // editors' (its translations follow the language), then the window's.
    for (TTextView* view : {sqlPage.view, xmlPage.view})
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
            auto* menu = new QMenu(this);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            QAction* copy = menu->addAction(QCoreApplication::translate("QWidgetTextControl", "&Copy"), view,
                                            &TTextView::Copy);
            copy->setObjectName("edit-copy");
            copy->setEnabled(view->HasSelection());
            menu->addSeparator();
            menu->addAction(QCoreApplication::translate("QWidgetTextControl", "Select All"), view,
                            &TTextView::SelectAll)
                ->setObjectName("select-all");
            menu->addSeparator();
            menu->addActions(PopupMenu1->actions());
            menu->popup(view->viewport()->mapToGlobal(at));
        });
    connect(SpeedButton1, &QToolButton::clicked, actSelectDatabase, &QAction::trigger);
}
