// The program's resources by id: strings, bitmaps, icons, menus and toolbars. User-interface
// thread only.
#pragma once

#include "platform/core/WinTypes.h"
#include "res/ResourceTables.h"

#include <QIcon>
#include <QPixmap>
#include <QString>

#include <climits>
#include <vector>

// The string with that id, in the words of the system the program runs on; empty when there
// is none.
QString LoadString(UINT nID);
// The same string as it reads on the given system.
QString LoadStringFor(UINT nID, ResPlatform platform);

// A bitmap with its magenta, RGB(255, 0, 255), turned transparent; null when there is none.
// Above a device pixel ratio of 1 the bitmap's double-density drawing (its file's "@2x"
// twin) is given, with a device pixel ratio of 2, when there is one.
QPixmap LoadBitmap(UINT nID, qreal devicePixelRatio = 1.0);

// An icon with every size it was drawn at up to nMaxSide pixels; null when there is none. Each
// size is decoded when it is first asked for.
QIcon LoadIcon(UINT nID, int nMaxSide = INT_MAX);
// The icon for a window: the sizes title bars, task bars and window switchers show, up to 64
// pixels at the screen's density. X11 hands every size of a window icon to the desktop.
QIcon LoadWindowIcon(UINT nID);

struct MenuItem {
    UINT nID;        // 0 for a separator
    QString strText; // empty for a separator
};

struct MenuPopup {
    QString strText;
    std::vector<MenuItem> items;
};

// The popups of a menu bar, left to right; empty when there is no such menu.
std::vector<MenuPopup> LoadMenu(UINT nID);

// The command ids of a toolbar's buttons in order, 0 for a separator; empty when there is no
// such toolbar.
std::vector<UINT> LoadToolBarResource(UINT nID);

// Tests add strings and toolbars of their own, or replace built-in ones, until reset.
void SetStringResourceForTesting(UINT nID, const QString& text);
void SetToolBarResourceForTesting(UINT nID, const std::vector<UINT>& buttons);
void ResetResourcesForTesting();
