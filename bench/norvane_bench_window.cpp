// norvane-bench-window: the window's side of norvane-bench. Runs the main
// window (offscreen) on a database over its whole log, as F9 would, and
// prints "key value" lines: its resident memory before the run and its peak
// (the pages' text documents included), the longest time the window went
// without handling its events between F9 and filled pages, and how many runs
// began, with the action that F9 and the button trigger triggered again every
// 10 ms all through the run.
#include "ProcStatus.h"

#include "app/Dialogs.h"
#include "app/Gui.h"
#include "locale/Regional.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

namespace {

// Answers every box by remembering it: the run must show none.
class TQuietDialogs : public TDialogs {
public:
    void ShowMessage(QWidget*, const QString& text, TMessageKind) override { shown += text.toStdString() + "\n"; }
    void ShowError(QWidget*, const QString& text) override { shown += text.toStdString() + "\n"; }
    QString GetOpenFileName(QWidget*, const TFileDialogSetup&, const QString&) override { return {}; }
    QString GetSaveFileName(QWidget*, const TFileDialogSetup&, const QString&) override { return {}; }
    std::string shown;
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
    qint64 longest = 0;
    int runs = 0;
    QObject::connect(execute, &QAction::triggered, [&] {
        if (!window.Running())
            ++runs;
    });
    QTimer ticks;
    ticks.setInterval(10);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTick.restart());
        execute->trigger();
    });
    whole.start();
    sinceTick.start();
    ticks.start();
    execute->trigger();
    ticks.stop();
    const double seconds = whole.elapsed() / 1000.0;
    // Whatever the run left queued has its chance now.
    QElapsedTimer after;
    after.start();
    while (after.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const int pages = window.findChild<QPlainTextEdit*>("mmSQL")->blockCount() +
                      window.findChild<QPlainTextEdit*>("mmXML")->blockCount();
    std::cout << "window_seconds " << seconds << "\n"
              << "window_idle " << idle << "\n"
              << "window_peak " << StatusKiB("VmHWM") << "\n"
              << "window_gap_ms " << longest << "\n"
              << "window_runs " << runs << "\n"
              << "window_lines " << pages << "\n";
    if (!dialogs.shown.empty())
        std::cerr << "norvane-bench-window: the window said: " << dialogs.shown;
    return dialogs.shown.empty() ? 0 : 1;
}
