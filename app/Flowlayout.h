#pragma once
#include <QLayout>
#include <QList>

// Lays its items out left to right and starts a new row when the next one
// does not fit, so that longer captions (another language) wrap instead of
// widening the window.
class TFlowLayout : public QLayout {
public:
    explicit TFlowLayout(QWidget* parent, int spacing = 12);
    ~TFlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(items.size()); }
    QLayoutItem* itemAt(int index) const override { return items.value(index); }
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return Arrange(QRect(0, 0, width, 0), false); }
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the items inside rect (when place is set); returns the height used.
    int Arrange(const QRect& rect, bool place) const;

    QList<QLayoutItem*> items;
    int gap;
};
