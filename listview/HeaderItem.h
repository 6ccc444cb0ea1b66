// How a header item is described, and where its parts live in the header's model data.
#pragma once

#include "platform/core/CommCtrl.h"
#include "platform/core/WinTypes.h"

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QString>

constexpr UINT HDI_WIDTH = 0x0001;
constexpr UINT HDI_TEXT = 0x0002;
constexpr UINT HDI_FORMAT = 0x0004;
constexpr UINT HDI_BITMAP = 0x0010;
constexpr UINT HDI_IMAGE = 0x0020;
constexpr UINT HDI_ORDER = 0x0080;

constexpr int HDF_LEFT = 0x0000;
constexpr int HDF_RIGHT = 0x0001;
constexpr int HDF_CENTER = 0x0002;
constexpr int HDF_JUSTIFYMASK = 0x0003;
constexpr int HDF_IMAGE = 0x0800;
constexpr int HDF_BITMAP_ON_RIGHT = 0x1000;
constexpr int HDF_BITMAP = 0x2000;
constexpr int HDF_STRING = 0x4000;
constexpr int HDF_OWNERDRAW = 0x8000;

// Header style bit: its columns may be dragged to new display positions.
constexpr DWORD HDS_DRAGDROP = 0x0040;

constexpr UINT HHT_NOWHERE = 0x0001;
constexpr UINT HHT_ONHEADER = 0x0002;
constexpr UINT HHT_ONDIVIDER = 0x0004;

constexpr UINT MK_LBUTTON = 0x0001;
constexpr UINT MK_RBUTTON = 0x0002;
constexpr UINT MK_SHIFT = 0x0004;
constexpr UINT MK_CONTROL = 0x0008;
constexpr UINT MK_MBUTTON = 0x0010;

// Model roles of a header item besides its text (Qt::DisplayRole) and alignment
// (Qt::TextAlignmentRole): the image index into the header's image list, a bitmap, and
// format bits that have no Qt role (HDF_BITMAP_ON_RIGHT, HDF_OWNERDRAW).
constexpr int kHeaderImageRole = Qt::UserRole + 1;
constexpr int kHeaderBitmapRole = Qt::UserRole + 2;
constexpr int kHeaderFormatRole = Qt::UserRole + 3;

struct HDITEM {
    UINT mask = 0;
    int cxy = 0;
    QString pszText;
    int cchTextMax = 0; // longest text kept, terminator included
    QPixmap hbm;
    int fmt = 0;
    int iImage = 0;
    int iOrder = 0;
};

struct HDHITTESTINFO {
    QPoint pt;
    UINT flags = 0;
    int iItem = -1;
};

constexpr UINT ODT_HEADER = 100;
constexpr UINT ODA_DRAWENTIRE = 0x0001;

class QPainter;
class QWidget;

// What an owner-drawn item is given to draw itself with.
struct DRAWITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemAction = 0;
    UINT itemState = 0;
    QWidget* hwndItem = nullptr;
    QPainter* hDC = nullptr;
    QRect rcItem;
    DWORD_PTR itemData = 0;
};

constexpr UINT HDN_FIRST = 0u - 300u;
constexpr UINT HDN_BEGINDRAG = HDN_FIRST - 10u;
constexpr UINT HDN_ENDDRAG = HDN_FIRST - 11u;

// What the header tells its parent about a column drag.
struct NMHEADER {
    NMHDR hdr;
    int iItem = -1;
    int iButton = 0;
    HDITEM* pitem = nullptr;
};
