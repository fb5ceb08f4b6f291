#include "app/Statusbar.h"

#include <QLabel>

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent)
{
    setSizeGripEnabled(true);
}

void TStatusBar::AddPanel(int width)
{
    auto* panel = new QLabel(this);
    panel->setObjectName(objectName() + ".Panel" + QString::number(panels.size()));
    panel->setFixedWidth(width);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    addWidget(panel);
    panels.append(panel);
}
