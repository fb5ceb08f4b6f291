#include "app/Textview.h"

#include "app/Cp1251.h"
#include "app/Runoutput.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// A line longer than this shows its start only (a BLOB's literal can run to
// megabytes); copying and saving take it whole.
constexpr std::size_t kMaxShownBytes = 1 << 16;
constexpr std::size_t kReadPiece = 1 << 16;
// Search pieces: large enough to be quick, small enough to stop soon.
constexpr std::int64_t kSearchPiece = 1 << 20;
constexpr int kMargin = 4;

QString Shown(const std::string& bytes, const std::string& encoding)
{
    QString text = FromEncoding(bytes, encoding);
    if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text;
}

// The piece [from, to) of the source, cut back to its last line feed when
// it does not reach the end; its end.
std::int64_t ReadPiece(const TRunOutput& source, std::int64_t from, std::int64_t to, std::string& data)
{
    data.resize(static_cast<std::size_t>(to - from));
    data.resize(source.Read(from, data.data(), data.size()));
    if (from + static_cast<std::int64_t>(data.size()) < source.Size()) {
        const std::size_t feed = data.rfind('\n');
        if (feed != std::string::npos)
            data.resize(feed + 1);
    }
    return from + static_cast<std::int64_t>(data.size());
}

}  // namespace

TTextView::TTextView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setRange(0, 0);
    horizontalScrollBar()->setRange(0, 0);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &TTextView::OnScrollBar);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    dragScroll.setInterval(50);
    connect(&dragScroll, &QTimer::timeout, this, [this] {
        ScrollLines(dragDirection);
        if (!lines.empty())
            cursor = dragDirection < 0 ? TPos{lines.front().start, 0}
                                       : TPos{lines.back().start, static_cast<int>(lines.back().text.size())};
        viewport()->update();
    });
}

TTextView::~TTextView()
{
    StopSearch();
}

void TTextView::SetSource(std::shared_ptr<const TRunOutput> aSource, const std::string& anEncoding)
{
    StopSearch();
    source = std::move(aSource);
    encoding = anEncoding;
    top = 0;
    widest = 0;
    anchor = cursor = TPos{};
    horizontalScrollBar()->setValue(0);
    Relayout();
}

void TTextView::Clear()
{
    SetSource(nullptr, {});
}

TTextView::TLine TTextView::ReadLine(qint64 start) const
{
    TLine line{start, start, {}};
    if (!source)
        return line;
    std::string shown;
    char piece[kReadPiece];
    for (qint64 at = start; at < source->Size();) {
        const std::size_t got = source->Read(at, piece, sizeof piece);
        if (got == 0)
            break;
        const char* feed = static_cast<const char*>(std::memchr(piece, '\n', got));
        const std::size_t length = feed ? static_cast<std::size_t>(feed - piece) : got;
        if (shown.size() < kMaxShownBytes)
            shown.append(piece, std::min(length, kMaxShownBytes - shown.size()));
        at += static_cast<qint64>(length);
        if (feed) {
            line.next = at + 1;
            line.text = Shown(shown, encoding);
            return line;
        }
    }
    line.next = source->Size();
    line.text = Shown(shown, encoding);
    return line;
}

qint64 TTextView::LineStartBefore(qint64 end) const
{
    char piece[kReadPiece];
    while (source && end > 0) {
        const qint64 from = std::max<qint64>(0, end - static_cast<qint64>(sizeof piece));
        const std::size_t got = source->Read(from, piece, static_cast<std::size_t>(end - from));
        if (const void* feed = got ? memrchr(piece, '\n', got) : nullptr)
            return from + (static_cast<const char*>(feed) - piece) + 1;
        end = from;
    }
    return 0;
}

qint64 TTextView::PreviousLine(qint64 start) const
{
    return start == 0 ? 0 : LineStartBefore(start - 1);
}

int TTextView::RowsShown() const
{
    return std::max(1, viewport()->height() / std::max(1, fontMetrics().lineSpacing()));
}

// The last screen and the scroll bar's scale follow the size of the view.
void TTextView::Relayout()
{
    lastTop = 0;
    if (source && source->Size() > 0) {
        const qint64 size = source->Size();
        // A line feed at the very end starts no further line.
        qint64 last = LineStartBefore(size - 1);
        for (int i = 1; i < RowsShown() && last > 0; ++i)
            last = PreviousLine(last);
        lastTop = last;
    }
    scale = std::max<qint64>(1, lastTop / (INT_MAX / 2) + 1);
    top = std::min(top, lastTop);
    Reload();
}

void TTextView::Reload()
{
    lines.clear();
    const int rows = RowsShown() + 1;
    for (qint64 at = top; source && at < source->Size() && static_cast<int>(lines.size()) < rows;) {
        lines.push_back(ReadLine(at));
        at = lines.back().next;
    }
    const QFontMetrics metrics = fontMetrics();
    for (const TLine& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line.text) + 2 * kMargin);
    SyncScrollBar();
    viewport()->update();
}

void TTextView::SyncScrollBar()
{
    syncing = true;
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, static_cast<int>(lastTop / scale));
    qint64 shown = 0;
    for (const TLine& line : lines)
        shown += line.next - line.start;
    bar->setPageStep(static_cast<int>(std::max<qint64>(1, shown / scale)));
    bar->setSingleStep(static_cast<int>(std::max<qint64>(1, shown / std::max<qint64>(1, lines.size()) / scale)));
    bar->setValue(top >= lastTop ? bar->maximum() : static_cast<int>(top / scale));
    QScrollBar* across = horizontalScrollBar();
    across->setRange(0, std::max(0, widest - viewport()->width()));
    across->setPageStep(viewport()->width());
    across->setSingleStep(fontMetrics().horizontalAdvance(QLatin1Char('M')));
    syncing = false;
}

void TTextView::OnScrollBar(int value)
{
    if (syncing || !source)
        return;
    const QScrollBar* bar = verticalScrollBar();
    const qint64 target = value >= bar->maximum() ? lastTop : static_cast<qint64>(value) * scale;
    top = std::min(LineStartBefore(target), lastTop);
    Reload();
}

void TTextView::ScrollLines(int count)
{
    if (!source)
        return;
    // Forward through the lines on show first, which are read already.
    for (std::size_t i = 0; count > 0 && top < lastTop; --count, ++i)
        top = i < lines.size() && lines[i].start == top ? lines[i].next : ReadLine(top).next;
    for (; count < 0 && top > 0; ++count)
        top = PreviousLine(top);
    top = std::min(top, lastTop);
    Reload();
}

void TTextView::ScrollTo(qint64 lineStart)
{
    const bool shown = !lines.empty() && lineStart >= lines.front().start &&
                       std::find_if(lines.begin(), lines.begin() + std::min<int>(lines.size(), RowsShown()),
                                    [lineStart](const TLine& l) { return l.start == lineStart; }) !=
                           lines.begin() + std::min<int>(lines.size(), RowsShown());
    if (shown)
        return;
    top = lineStart;
    // A few lines of what comes before, for the eye.
    for (int i = 0; i < 2 && top > 0; ++i)
        top = PreviousLine(top);
    top = std::min(top, lastTop);
    Reload();
}

QString TTextView::VisibleText() const
{
    QStringList texts;
    for (int i = 0; i < std::min<int>(lines.size(), RowsShown()); ++i)
        texts << lines[i].text;
    return texts.join(QLatin1Char('\n'));
}

int TTextView::ShownLength(qint64 line) const
{
    for (const TLine& l : lines)
        if (l.start == line)
            return static_cast<int>(l.text.size());
    return static_cast<int>(ReadLine(line).text.size());
}

QString TTextView::SelectedText()
{
    return Selected(true);
}

QString TTextView::Selected(bool report)
{
    if (!source || !HasSelection())
        return {};
    const TPos from = std::min(anchor, cursor);
    const TPos to = std::max(anchor, cursor);
    const TLine last = ReadLine(to.line);
    qint64 end = last.next;
    if (end > last.start && end <= source->Size()) {
        char feed = 0;
        if (source->Read(end - 1, &feed, 1) == 1 && feed == '\n')
            --end;
    }
    if (end - from.line > kMaxCopyBytes) {
        if (report)
            emit Refused(end - from.line);
        return {};
    }
    std::string bytes(static_cast<std::size_t>(end - from.line), '\0');
    bytes.resize(source->Read(from.line, bytes.data(), bytes.size()));
    const QString text = FromEncoding(bytes, encoding);
    const qsizetype lastStart = from.line == to.line ? 0 : text.lastIndexOf(QLatin1Char('\n')) + 1;
    const qsizetype firstEnd = from.line == to.line ? text.size() : text.indexOf(QLatin1Char('\n'));
    const qsizetype begin = from.column >= ShownLength(from.line) ? firstEnd : from.column;
    const qsizetype stop = to.column >= static_cast<int>(last.text.size()) ? text.size() : lastStart + to.column;
    return text.mid(begin, std::max<qsizetype>(0, stop - begin));
}

void TTextView::SelectAll()
{
    if (!source || source->Size() == 0)
        return;
    // To the very end: past the last line feed, the whole text.
    anchor = TPos{0, 0};
    cursor = TPos{source->Size(), 0};
    viewport()->update();
}

void TTextView::Copy()
{
    const QString text = SelectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

TTextView::TPos TTextView::PosAt(const QPoint& point) const
{
    if (lines.empty())
        return TPos{top, 0};
    const int row = point.y() / std::max(1, fontMetrics().lineSpacing());
    if (row < 0)
        return TPos{lines.front().start, 0};
    if (row >= static_cast<int>(lines.size()))
        return TPos{lines.back().start, static_cast<int>(lines.back().text.size())};
    const TLine& line = lines[static_cast<std::size_t>(row)];
    return TPos{line.start, ColumnAt(line.text, point.x() + horizontalScrollBar()->value() - kMargin)};
}

int TTextView::ColumnAt(const QString& text, qreal x) const
{
    // The first column whose left half lies right of x.
    const QFontMetricsF metrics(font());
    int low = 0, high = static_cast<int>(text.size());
    while (low < high) {
        const int middle = (low + high) / 2;
        const qreal left = metrics.horizontalAdvance(text.left(middle));
        const qreal right = metrics.horizontalAdvance(text.left(middle + 1));
        if ((left + right) / 2 < x)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

void TTextView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QPalette& colours = palette();
    painter.fillRect(viewport()->rect(), colours.base());
    painter.setFont(font());
    const QFontMetricsF metrics(font());
    const int spacing = fontMetrics().lineSpacing();
    const int ascent = fontMetrics().ascent();
    const qreal x0 = kMargin - horizontalScrollBar()->value();
    const TPos from = std::min(anchor, cursor);
    const TPos to = std::max(anchor, cursor);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TLine& line = lines[i];
        const int y = static_cast<int>(i) * spacing;
        if (y > viewport()->height())
            break;
        painter.setPen(colours.color(QPalette::Text));
        painter.drawText(QPointF(x0, y + ascent), line.text);
        if (!HasSelection() || line.start < from.line || line.start > to.line)
            continue;
        const int length = static_cast<int>(line.text.size());
        const int first = line.start == from.line ? std::min(from.column, length) : 0;
        const int last = line.start == to.line ? std::min(to.column, length) : length;
        const qreal left = x0 + metrics.horizontalAdvance(line.text.left(first));
        // A selected line end shows as a blank's width.
        const qreal right = x0 + metrics.horizontalAdvance(line.text.left(last)) +
                            (line.start < to.line ? metrics.horizontalAdvance(QLatin1Char(' ')) : 0);
        const QRectF band(left, y, right - left, spacing);
        painter.fillRect(band, colours.highlight());
        painter.save();
        painter.setClipRect(band);
        painter.setPen(colours.color(QPalette::HighlightedText));
        painter.drawText(QPointF(x0, y + ascent), line.text);
        painter.restore();
    }
}

void TTextView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    Relayout();
}

void TTextView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        widest = 0;
        Relayout();
    }
}

void TTextView::keyPressEvent(QKeyEvent* event)
{
    if (event == QKeySequence::Copy) {
        Copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        SelectAll();
        return;
    }
    QScrollBar* across = horizontalScrollBar();
    const int page = std::max(1, RowsShown() - 1);
    switch (event->key()) {
    case Qt::Key_Up:
        ScrollLines(-1);
        break;
    case Qt::Key_Down:
        ScrollLines(1);
        break;
    case Qt::Key_PageUp:
        ScrollLines(-page);
        break;
    case Qt::Key_PageDown:
        ScrollLines(page);
        break;
    case Qt::Key_Home:
        if (event->modifiers() & Qt::ControlModifier) {
            top = 0;
            Reload();
        }
        across->setValue(0);
        break;
    case Qt::Key_End:
        if (event->modifiers() & Qt::ControlModifier) {
            top = lastTop;
            Reload();
        } else {
            across->setValue(across->maximum());
        }
        break;
    case Qt::Key_Left:
        across->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Right:
        across->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void TTextView::wheelEvent(QWheelEvent* event)
{
    const QPoint steps = event->angleDelta() / 40;  // three lines a notch
    if (steps.y() != 0)
        ScrollLines(-steps.y());
    if (steps.x() != 0)
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - steps.x() * fontMetrics().horizontalAdvance('M'));
    event->accept();
}

void TTextView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    cursor = PosAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier))
        anchor = cursor;
    dragging = true;
    viewport()->update();
}

void TTextView::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging)
        return;
    const int y = event->position().toPoint().y();
    dragDirection = y < 0 ? -1 : y >= viewport()->height() ? 1 : 0;
    if (dragDirection != 0) {
        if (!dragScroll.isActive())
            dragScroll.start();
        return;
    }
    dragScroll.stop();
    cursor = PosAt(event->position().toPoint());
    viewport()->update();
}

void TTextView::mouseReleaseEvent(QMouseEvent* event)
{
    dragging = false;
    dragScroll.stop();
    if (HasSelection() && QApplication::clipboard()->supportsSelection()) {
        // The X11 primary selection, as editors give it, within the same limit.
        const QString text = Selected(false);
        if (!text.isEmpty())
            QApplication::clipboard()->setText(text, QClipboard::Selection);
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void TTextView::StopSearch()
{
    if (stopSearch)
        *stopSearch = true;
    if (searcher.joinable())
        searcher.join();
    stopSearch.reset();
    searching = false;
}

void TTextView::Find(const QString& text, bool backward)
{
    StopSearch();
    if (!source || text.isEmpty()) {
        emit Found(false);
        return;
    }
    TPos from = HasSelection() ? (backward ? std::min(anchor, cursor) : std::max(anchor, cursor))
                               : TPos{top, 0};
    if (from.column == INT_MAX)
        from.column = ShownLength(from.line);
    stopSearch = std::make_shared<std::atomic<bool>>(false);
    searching = true;
    searcher = std::thread([this, text, from, backward, file = source, enc = encoding, stop = stopSearch] {
        const TMatch match = Search(*file, enc, text, from, backward, *stop);
        if (*stop)
            return;
        // Back in the window's thread; the view waits for this thread before
        // it goes, so it is there when the call is posted.
        QMetaObject::invokeMethod(
            this,
            [this, match, file] {
                if (file != source)
                    return;
                if (searcher.joinable())
                    searcher.join();
                searching = false;
                stopSearch.reset();
                if (match.found) {
                    anchor = match.from;
                    cursor = match.to;
                    ScrollTo(match.from.line);
                    // The match in sight across too.
                    QScrollBar* across = horizontalScrollBar();
                    const QString lineText = ReadLine(match.from.line).text;
                    const QFontMetrics metrics = fontMetrics();
                    const int left = metrics.horizontalAdvance(lineText.left(match.from.column));
                    const int right = metrics.horizontalAdvance(lineText.left(match.to.column)) + 2 * kMargin;
                    if (left < across->value() || right > across->value() + viewport()->width())
                        across->setValue(std::max(0, left - viewport()->width() / 3));
                    viewport()->update();
                }
                emit Found(match.found);
            },
            Qt::QueuedConnection);
    });
}

// Forward: from the place to the end, then from the start up to the place's
// line. Back: from the place to the start, then from the end down to it. The
// text is read in pieces of whole lines, each converted and searched.
TTextView::TMatch TTextView::Search(const TRunOutput& source, const std::string& encoding, const QString& text,
                                    TPos from, bool backward, const std::atomic<bool>& stop)
{
    const std::int64_t size = source.Size();
    std::string data;
    // The match at index in piece, which begins at offset.
    auto matchAt = [&](const QString& piece, qsizetype index, std::int64_t offset) {
        // Line feeds are the same one byte in every encoding in use, so the
        // match's line is found in the bytes by counting them.
        const qsizetype lineIndex = index == 0 ? 0 : piece.lastIndexOf(QLatin1Char('\n'), index - 1) + 1;
        const qsizetype feeds = piece.left(lineIndex).count(QLatin1Char('\n'));
        std::size_t at = 0;
        for (qsizetype i = 0; i < feeds; ++i)
            at = data.find('\n', at) + 1;
        const int column = static_cast<int>(index - lineIndex);
        return TMatch{true, TPos{offset + static_cast<std::int64_t>(at), column},
                      TPos{offset + static_cast<std::int64_t>(at), column + static_cast<int>(text.size())}};
    };
    if (!backward) {
        // The place's line, then the rest; then from the start again.
        std::int64_t offset = from.line;
        qsizetype startIndex = from.column;
        bool wrapped = false;
        while (!stop) {
            if (offset >= size) {
                if (wrapped || from.line == 0)
                    break;
                wrapped = true;
                offset = 0;
                startIndex = 0;
                continue;
            }
            if (wrapped && offset > from.line)
                break;
            const std::int64_t end = ReadPiece(source, offset, std::min(size, offset + kSearchPiece), data);
            const QString piece = FromEncoding(data, encoding);
            const qsizetype index = piece.indexOf(text, startIndex, Qt::CaseInsensitive);
            if (index >= 0)
                return matchAt(piece, index, offset);
            offset = end;
            startIndex = 0;
        }
        return {};
    }
    // Back: pieces that end at the end of the place's line, then further back.
    std::int64_t end = from.line;
    {
        // The place's line up to its column.
        std::string line;
        char piece[kReadPiece];
        for (std::int64_t at = from.line; at < size;) {
            const std::size_t got = source.Read(at, piece, sizeof piece);
            const char* feed = got ? static_cast<const char*>(std::memchr(piece, '\n', got)) : nullptr;
            const std::size_t length = feed ? static_cast<std::size_t>(feed - piece) : got;
            line.append(piece, length);
            at += static_cast<std::int64_t>(length);
            if (feed || got == 0)
                break;
        }
        data = line;
        const QString lineText = FromEncoding(line, encoding);
        const qsizetype limit = std::min<qsizetype>(from.column, lineText.size()) - text.size();
        const qsizetype index = limit < 0 ? -1 : lineText.lastIndexOf(text, limit, Qt::CaseInsensitive);
        if (index >= 0)
            return matchAt(lineText, index, from.line);
    }
    bool wrapped = false;
    while (!stop) {
        if (end <= 0) {
            if (wrapped)
                break;
            wrapped = true;
            end = size;
            continue;
        }
        if (wrapped && end <= from.line)
            break;
        // A piece of whole lines that ends at end.
        std::int64_t start = std::max<std::int64_t>(0, end - kSearchPiece);
        data.resize(static_cast<std::size_t>(end - start));
        data.resize(source.Read(start, data.data(), data.size()));
        if (start > 0) {
            const std::size_t feed = data.find('\n');
            if (feed != std::string::npos && feed + 1 < data.size()) {
                data.erase(0, feed + 1);
                start += static_cast<std::int64_t>(feed + 1);
            }
        }
        if (wrapped && start < from.line) {
            data.erase(0, static_cast<std::size_t>(from.line - start));
            start = from.line;
        }
        const QString piece = FromEncoding(data, encoding);
        const qsizetype index = piece.lastIndexOf(text, -1, Qt::CaseInsensitive);
        if (index >= 0)
            return matchAt(piece, index, start);
        end = start;
    }
    return {};
}
