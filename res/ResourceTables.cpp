#include "res/ResourceTables.h"

#include "res/resource.h"

namespace {

const ResString kStrings[] = {
    {IDS_TOOLBAR_MESSAGE, "Toolbar message"},
    {ID_FILE_NEWLIST, "New list of files to join\nNew List"},
    {ID_FILE_ADDFILES, "Add files to join\nAdd Files"},
    {ID_FILE_REMOVEFILES, "Remove files from the list\nRemove"},
    {ID_ACTION_JOIN, "Join files\nJoin Files"},
    {ID_HELP_ABOUT, "About this software\n   About   "},
    {AFX_IDS_APP_TITLE, kAppCaption},
};

const ResPlatformString kPlatformStrings[] = {
    {IDS_STATUS_DRAG_HINT, ResPlatform::Windows,
     "Drag and drop files from Windows Explorer or click Add Files button"},
    {IDS_STATUS_DRAG_HINT, ResPlatform::Other,
     "Drag and drop files from your file manager or click Add Files button"},
};

const ResMenuItem kFileMenu[] = {
    {ID_FILE_NEWLIST, "New"},
    {ID_FILE_ADDFILES, "Add Files"},
    {ID_FILE_REMOVEFILES, "Remove Files"},
    {0, ""},
    {ID_FILE_EXIT, "Exit"},
};
const ResMenuItem kActionMenu[] = {
    {ID_ACTION_JOIN, "Join"},
};
const ResMenuItem kHelpMenu[] = {
    {ID_HELP_CONTENTS, "Contents"},
    {ID_HELP_ABOUT, "About..."},
};
const ResMenuPopup kMainMenu[] = {
    {"File", kFileMenu},
    {"Action", kActionMenu},
    {"Help", kHelpMenu},
};
const ResMenu kMenus[] = {
    {IDR_MAINMENU, kMainMenu},
};

const unsigned kMainToolBar[] = {
    ID_FILE_NEWLIST, 0, ID_FILE_ADDFILES, 0, ID_FILE_REMOVEFILES, 0,
    ID_ACTION_JOIN,  0, ID_HELP_ABOUT,
};
const ResToolBar kToolBars[] = {
    {IDR_TOOLBAR, kMainToolBar},
};

const ResFile kBitmaps[] = {
    {IDB_TOOLBAR, ":/vantrel/pictures/toolbar.bmp"},
    {IDB_TOOLBAR_HOT, ":/vantrel/pictures/toolbar_hot.bmp"},
};

const ResFile kIcons[] = {
    {IDR_MAINFRAME, ":/vantrel/pictures/vantrel-16.png"},
    {IDR_MAINFRAME, ":/vantrel/pictures/vantrel-24.png"},
    {IDR_MAINFRAME, ":/vantrel/pictures/vantrel-32.png"},
    {IDR_MAINFRAME, ":/vantrel/pictures/vantrel-48.png"},
    {IDR_MAINFRAME, ":/vantrel/pictures/vantrel-64.png"},
    {IDR_MAINFRAME, ":/vantrel/pictures/vantrel-128.png"},
    {IDR_MAINFRAME, ":/vantrel/pictures/vantrel-256.png"},
};

} // namespace

std::span<const ResString> ResStringTable() {
    return kStrings;
}
std::span<const ResPlatformString> ResPlatformStringTable() {
    return kPlatformStrings;
}
std::span<const ResMenu> ResMenuTable() {
    return kMenus;
}
std::span<const ResToolBar> ResToolBarTable() {
    return kToolBars;
}
std::span<const ResFile> ResBitmapTable() {
    return kBitmaps;
}
std::span<const ResFile> ResIconTable() {
    return kIcons;
}
