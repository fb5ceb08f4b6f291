// norvane-bench-window: the window's side of norvane-bench. Runs the main
// window (offscreen) on a database over its whole log, as F9 would, looks at
// both pages and saves both, and prints "key value" lines: its resident
// memory before the run and its peak; how long from F9 to the first lines on
// the SQL page, and from the run's end to them; the longest time the window
// went without handling its events from F9 to the first lines, and after,
// while the XML page is looked at and both are saved; how many
// runs began, with the action that F9 and the button trigger triggered again
// every 10 ms all through the run; and the sizes of the saved files.
#include "ProcStatus.h"

#include "app/Dialogs.h"
#include "app/Gui.h"
#include "locale/Regional.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <iostream>
#include <string>

namespace {

// Answers every box by remembering it (the run must show none) and every
// save dialog with the next file name.
class TQuietDialogs : public TDialogs {
public:
    void ShowMessage(QWidget*, const QString& text, TMessageKind) override { shown += text.toStdString() + "\n"; }
    void ShowError(QWidget*, const QString& text) override { shown += text.toStdString() + "\n"; }
    QString GetOpenFileName(QWidget*, const TFileDialogSetup&, const QString&) override { return {}; }
    QString GetSaveFileName(QWidget*, const TFileDialogSetup&, const QString&) override
    {
        if (names.empty())
            return {};
        QString name = names.front();
        names.pop_front();
        return name;
    }
    std::string shown;
    std::deque<QString> names;
};

QString DateText(TDateTime date)
{
    int year = 0, month = 0, day = 0;
    DecodeDate(date, year, month, day);
    return QString::asprintf("%02d.%02d.%04d", day, month, year);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: norvane-bench-window DATABASE USER PASSWORD\n";
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's notices would mix with the bench's table.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication application(argc, argv);
    TFormatSettings formats;  // day.month.year
    SetFormatSettings(&formats);
    QTemporaryDir folder;
    TQuietDialogs dialogs;
    TfrmGUI window(dialogs, (folder.path() + "/norvane").toStdString());
    window.resize(800, 600);
    window.show();
    window.findChild<QLineEdit*>("edtDatabaseFile")->setText(QString::fromLocal8Bit(argv[1]));
    window.findChild<QLineEdit*>("edtUserName")->setText(QString::fromLocal8Bit(argv[2]));
    window.findChild<QLineEdit*>("edtPassword")->setText(QString::fromLocal8Bit(argv[3]));
    window.findChild<QLineEdit*>("meDateBegin")->setText(DateText(EncodeDate(1901, 1, 1)));
    window.findChild<QLineEdit*>("meDateEnd")->setText(DateText(Date() + 1.0));
    QAction* execute = window.findChild<QAction*>("actExecute");
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    const long idle = StatusKiB("VmRSS");

    // A tick every 10 ms while the run goes on: the gap between two ticks is
    // the time the window handled no event. Each tick triggers the action
    // again; a trigger that reaches the window while no run goes on would
    // begin one.
    QElapsedTimer sinceTick, whole;
    qint64 longest = 0, longestAfter = 0, runEnded = -1;
    bool afterRun = false;
    int runs = 0;
    QObject::connect(execute, &QAction::triggered, [&] {
        if (!window.Running())
            ++runs;
    });
    QObject::connect(&window, &TfrmGUI::RunEnded, [&] { runEnded = whole.elapsed(); });
    QTimer ticks;
    ticks.setInterval(10);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        qint64& gap = afterRun ? longestAfter : longest;
        gap = std::max(gap, sinceTick.restart());
        execute->trigger();
    });
    whole.start();
    sinceTick.start();
    ticks.start();
    execute->trigger();
    // F9 returns once the SQL page shows its first lines.
    const qint64 firstLines = whole.elapsed();
    afterRun = true;

    // The XML page looked at, then both pages saved.
    auto* pages = window.findChild<QTabWidget*>("PageControl");
    pages->setCurrentWidget(window.findChild<QWidget*>("tsXML"));
    const QString sql = folder.path() + "/saved.sql", xml = folder.path() + "/saved.xml";
    dialogs.names = {xml, sql};
    QAction* save = window.findChild<QAction*>("actSave");
    save->trigger();
    pages->setCurrentWidget(window.findChild<QWidget*>("tsSQL"));
    save->trigger();
    ticks.stop();
    const double seconds = whole.elapsed() / 1000.0;
    // Whatever the work left queued has its chance now.
    QElapsedTimer after;
    after.start();
    while (after.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    std::cout << "window_seconds " << seconds << "\n"
              << "window_first_lines " << firstLines / 1000.0 << "\n"
              << "window_after_run_ms " << (runEnded < 0 ? -1 : firstLines - runEnded) << "\n"
              << "window_idle " << idle << "\n"
              << "window_peak " << StatusKiB("VmHWM") << "\n"
              << "window_gap_ms " << longest << "\n"
              << "window_save_gap_ms " << longestAfter << "\n"
              << "window_runs " << runs << "\n"
              << "window_sql_bytes " << QFileInfo(sql).size() << "\n"
              << "window_xml_bytes " << QFileInfo(xml).size() << "\n";
    if (!dialogs.shown.empty())
        std::cerr << "norvane-bench-window: the window said: " << dialogs.shown;
    return dialogs.shown.empty() ? 0 : 1;
}
