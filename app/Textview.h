#pragma once
#include <QAbstractScrollArea>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class TRunOutput;

// A read-only view of a text too long to hold in an editor: a run's script
// or XML log in its file (TRunOutput). Only the lines on the screen are read
// and converted, so a text of any length costs the window next to nothing.
// The vertical scroll bar runs over the file's bytes and the lines are found
// around where it points, so the first lines show at once, without the file
// being read through. The mouse selects, Ctrl+A selects all, Ctrl+C copies;
// Find looks for a text on a thread of its own.
class TTextView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // The most a copy takes to the clipboard; more is refused (Refused).
    static constexpr qint64 kMaxCopyBytes = 32 << 20;

    explicit TTextView(QWidget* parent = nullptr);
    ~TTextView() override;

    // Shows the text of the file, bytes in the encoding (an iconv name), from
    // its first line.
    void SetSource(std::shared_ptr<const TRunOutput> source, const std::string& encoding);
    void Clear();
    // The lines on the screen, joined by line feeds.
    QString VisibleText() const;
    bool HasSelection() const { return anchor != cursor; }
    // The selected text, or an empty one and Refused when it is larger than
    // kMaxCopyBytes.
    QString SelectedText();
    void SelectAll();
    void Copy();
    // Looks for the text, case aside, from the selection on (forward or back)
    // round the text once; a match is selected and shown. Found tells.
    void Find(const QString& text, bool backward);
    bool Searching() const { return searching; }

signals:
    void Found(bool found);
    void Refused(qint64 bytes);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // A place in the text: the line by the offset of its first byte, and a
    // character of that line. A column at or past the line's end stands for
    // its end.
    struct TPos {
        qint64 line = 0;
        int column = 0;
        bool operator==(const TPos& o) const { return line == o.line && column == o.column; }
        bool operator!=(const TPos& o) const { return !(*this == o); }
        bool operator<(const TPos& o) const { return line < o.line || (line == o.line && column < o.column); }
    };
    struct TLine {
        qint64 start = 0;
        qint64 next = 0;  // where the following line starts (the size after the last)
        QString text;     // as shown: at most kMaxShownBytes of it, tabs as blanks
    };
    struct TMatch {
        bool found = false;
        TPos from;
        TPos to;
    };

    TLine ReadLine(qint64 start) const;
    // The offset just past the last line feed before end, 0 when none.
    qint64 LineStartBefore(qint64 end) const;
    qint64 PreviousLine(qint64 start) const;
    int RowsShown() const;
    void Relayout();
    void Reload();
    void ScrollLines(int count);
    void ScrollTo(qint64 lineStart);
    void SyncScrollBar();
    void OnScrollBar(int value);
    TPos PosAt(const QPoint& point) const;
    int ColumnAt(const QString& text, qreal x) const;
    int ShownLength(qint64 line) const;
    QString Selected(bool report);
    void StopSearch();
    static TMatch Search(const TRunOutput& source, const std::string& encoding, const QString& text, TPos from,
                         bool backward, const std::atomic<bool>& stop);

    std::shared_ptr<const TRunOutput> source;
    std::string encoding;
    std::vector<TLine> lines;  // those on the screen, from top
    qint64 top = 0;
    qint64 lastTop = 0;  // the first line of the last screen
    qint64 scale = 1;    // bytes per step of the scroll bar
    int widest = 0;
    bool syncing = false;
    TPos anchor;
    TPos cursor;
    bool dragging = false;
    QTimer dragScroll;
    int dragDirection = 0;

    std::thread searcher;
    std::shared_ptr<std::atomic<bool>> stopSearch;
    bool searching = false;
};
