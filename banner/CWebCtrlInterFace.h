// What the banner pane asks of its host: whether to offer a context menu, and whether to draw
// a frame and scroll bars. As made, the answers make the pane an inert display.
#pragma once

struct CWebCtrlInterFace {
    bool bContextMenu = false; // on a right click or the menu key
    bool bFrame = false;
    bool bScrollBars = false; // false: the page stays put under the wheel too
};
