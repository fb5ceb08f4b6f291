#pragma once
#include <QLabel>
#include <QString>

// A label that opens its address with the desktop's default program when
// clicked: blue and underlined with a hand cursor, purple once visited for
// as long as it exists. Language files never relabel it.
class THyperLink : public QLabel {
    Q_OBJECT
public:
    explicit THyperLink(QWidget* parent = nullptr);

    const QString& URL() const { return url; }
    void SetURL(const QString& address) { url = address; }
    bool Visited() const { return visited; }

    // What a click does: open URL, report the click, mark the link visited.
    void Click();

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void SetColor(const QColor& color);

    QString url;
    bool visited = false;
};
