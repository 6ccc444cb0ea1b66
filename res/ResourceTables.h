// The program's resource tables: strings, menus, toolbars, and which compiled-in files hold
// the bitmaps and icons. Read by id through the platform layer (Resources.h).
#pragma once

#include <span>

// The program's name as its windows and boxes are captioned.
inline constexpr char kAppCaption[] = "Vantrel";

struct ResString {
    unsigned nID;
    const char* pszText; // UTF-8
};

// The systems whose words differ in a string: Windows, and every other.
enum class ResPlatform { Windows, Other };

// A string whose words depend on the system; one entry per system.
struct ResPlatformString {
    unsigned nID;
    ResPlatform platform;
    const char* pszText; // UTF-8
};

struct ResMenuItem {
    unsigned nID;        // 0 for a separator
    const char* pszText; // empty for a separator
};

struct ResMenuPopup {
    const char* pszText;
    std::span<const ResMenuItem> items;
};

struct ResMenu {
    unsigned nID;
    std::span<const ResMenuPopup> popups;
};

struct ResToolBar {
    unsigned nID;
    std::span<const unsigned> buttons; // command ids in button order, 0 for a separator
};

struct ResFile {
    unsigned nID;
    const char* pszPath; // a Qt resource path
};

std::span<const ResString> ResStringTable();
std::span<const ResPlatformString> ResPlatformStringTable();
std::span<const ResMenu> ResMenuTable();
std::span<const ResToolBar> ResToolBarTable();
std::span<const ResFile> ResBitmapTable();
// One entry per picture size; an icon may have several.
std::span<const ResFile> ResIconTable();
