#pragma once
#include <QList>
#include <QStatusBar>

class QLabel;

// A status bar of fixed-width text panels, numbered from 0 left to right.
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent = nullptr);
    void AddPanel(int width);
    int PanelCount() const { return static_cast<int>(panels.size()); }
    QLabel* Panel(int index) const { return panels.at(index); }

private:
    QList<QLabel*> panels;
};
