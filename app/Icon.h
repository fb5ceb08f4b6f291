#pragma once
#include <QIcon>

// Norvane's icon (res/norvane.svg, built into the program), drawn at the
// sizes window managers and task bars ask for.
QIcon NorvaneIcon();
