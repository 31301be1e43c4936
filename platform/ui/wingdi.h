// Drawing for the headless windows: device contexts, GDI objects and the user32 drawing calls.
//
// Every drawing call appends a typed record to the log of its DC (and, for a window DC, to the
// window's log), so that tests can read back what was drawn. A DC with a canvas (a memory DC
// with a bitmap selected, or the DC a window picture is rendered through) also puts the pixels
// there. Text has fixed metrics: every character cell is 8 x 16 pixels, whatever the font, so
// that layout arithmetic is the same on every machine.
//
// Objects (brushes, pens, fonts, bitmaps) live in one table with live counts for leak checks.
// Stock objects and system-colour brushes are never counted and never deleted. An object
// selected into a DC (or kept in one of its saved states) cannot be deleted; DeleteObject
// refuses it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/devmode.h"
#include "core/resources.h"
#include "core/wintypes.h"
#include "eng/gdi_types.h"

VELM_DECLARE_HANDLE(HPEN);
using HGDIOBJ = void*;

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// Object types (GetObjectType, GetCurrentObject, UiLiveGdiObjects).
constexpr DWORD OBJ_PEN = 1;
constexpr DWORD OBJ_BRUSH = 2;
constexpr DWORD OBJ_DC = 3;
constexpr DWORD OBJ_FONT = 6;
constexpr DWORD OBJ_BITMAP = 7;
constexpr DWORD OBJ_MEMDC = 10;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int OEM_FIXED_FONT = 10;
constexpr int ANSI_FIXED_FONT = 11;
constexpr int ANSI_VAR_FONT = 12;
constexpr int SYSTEM_FONT = 13;
constexpr int DEVICE_DEFAULT_FONT = 14;
constexpr int SYSTEM_FIXED_FONT = 16;
constexpr int DEFAULT_GUI_FONT = 17;

// System colours (GetSysColor), the classic palette.
constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_INACTIVECAPTION = 3;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_ACTIVEBORDER = 10;
constexpr int COLOR_INACTIVEBORDER = 11;
constexpr int COLOR_APPWORKSPACE = 12;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
constexpr int COLOR_HOTLIGHT = 26;
constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;
constexpr int COLOR_3DFACE = COLOR_BTNFACE;
constexpr int COLOR_3DSHADOW = COLOR_BTNSHADOW;
constexpr int COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT;
constexpr int COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT;
constexpr int COLOR_BTNHILIGHT = COLOR_BTNHIGHLIGHT;

// Pens.
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_DASHDOT = 3;
constexpr int PS_DASHDOTDOT = 4;
constexpr int PS_NULL = 5;
constexpr int PS_INSIDEFRAME = 6;

// Brushes.
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Region kinds answered by the clipping calls.
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr int RGN_ERROR = ERROR;

// DrawEdge.
constexpr UINT BDR_RAISEDOUTER = 0x0001;
constexpr UINT BDR_SUNKENOUTER = 0x0002;
constexpr UINT BDR_RAISEDINNER = 0x0004;
constexpr UINT BDR_SUNKENINNER = 0x0008;
constexpr UINT BDR_OUTER = BDR_RAISEDOUTER | BDR_SUNKENOUTER;
constexpr UINT BDR_INNER = BDR_RAISEDINNER | BDR_SUNKENINNER;
constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr UINT EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr UINT BF_LEFT = 0x0001;
constexpr UINT BF_TOP = 0x0002;
constexpr UINT BF_RIGHT = 0x0004;
constexpr UINT BF_BOTTOM = 0x0008;
constexpr UINT BF_TOPLEFT = BF_TOP | BF_LEFT;
constexpr UINT BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT;
constexpr UINT BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr UINT BF_DIAGONAL = 0x0010;
constexpr UINT BF_MIDDLE = 0x0800;
constexpr UINT BF_SOFT = 0x1000;
constexpr UINT BF_ADJUST = 0x2000;
constexpr UINT BF_FLAT = 0x4000;
constexpr UINT BF_MONO = 0x8000;

// DrawTextW.
constexpr UINT DT_TOP = 0x00000000;
constexpr UINT DT_LEFT = 0x00000000;
constexpr UINT DT_CENTER = 0x00000001;
constexpr UINT DT_RIGHT = 0x00000002;
constexpr UINT DT_VCENTER = 0x00000004;
constexpr UINT DT_BOTTOM = 0x00000008;
constexpr UINT DT_WORDBREAK = 0x00000010;
constexpr UINT DT_SINGLELINE = 0x00000020;
constexpr UINT DT_EXPANDTABS = 0x00000040;
constexpr UINT DT_TABSTOP = 0x00000080;
constexpr UINT DT_NOCLIP = 0x00000100;
constexpr UINT DT_EXTERNALLEADING = 0x00000200;
constexpr UINT DT_CALCRECT = 0x00000400;
constexpr UINT DT_NOPREFIX = 0x00000800;
constexpr UINT DT_INTERNAL = 0x00001000;
constexpr UINT DT_EDITCONTROL = 0x00002000;
constexpr UINT DT_PATH_ELLIPSIS = 0x00004000;
constexpr UINT DT_END_ELLIPSIS = 0x00008000;
constexpr UINT DT_MODIFYSTRING = 0x00010000;
constexpr UINT DT_WORD_ELLIPSIS = 0x00040000;
constexpr UINT DT_HIDEPREFIX = 0x00100000;

// ExtTextOutW.
constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;

// Images.
constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT IMAGE_ICON = 1;
constexpr UINT IMAGE_CURSOR = 2;
constexpr UINT LR_DEFAULTCOLOR = 0x0000;
constexpr UINT LR_LOADFROMFILE = 0x0010;
constexpr UINT LR_DEFAULTSIZE = 0x0040;
constexpr UINT LR_SHARED = 0x8000;

// GetDeviceCaps.
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

// Font types of EnumFontFamiliesW.
constexpr DWORD RASTER_FONTTYPE = 0x0001;
constexpr DWORD DEVICE_FONTTYPE = 0x0002;
constexpr DWORD TRUETYPE_FONTTYPE = 0x0004;

struct LOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  ULONG_PTR lbHatch;
};

struct LOGPEN {
  UINT lopnStyle;
  POINT lopnWidth;  // x is the width; y is unused
  COLORREF lopnColor;
};

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

struct TEXTMETRICW {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  WCHAR tmFirstChar;
  WCHAR tmLastChar;
  WCHAR tmDefaultChar;
  WCHAR tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};
using LPTEXTMETRICW = TEXTMETRICW*;

struct NEWTEXTMETRICW : TEXTMETRICW {
  DWORD ntmFlags;
  UINT ntmSizeEM;
  UINT ntmCellHeight;
  UINT ntmAvgWidth;
};

constexpr int LF_FULLFACESIZE = 64;
struct ENUMLOGFONTW {
  LOGFONTW elfLogFont;
  WCHAR elfFullName[LF_FULLFACESIZE];
  WCHAR elfStyle[LF_FACESIZE];
};

// Called once per family (or per style of the family asked for) with an ENUMLOGFONTW and a
// NEWTEXTMETRICW; answering 0 stops the enumeration.
using FONTENUMPROCW = int(CALLBACK*)(const LOGFONTW* logFont, const TEXTMETRICW* metrics, DWORD fontType,
                                     LPARAM lParam);

extern "C" {
// ---- Device contexts ---------------------------------------------------------------------
// The DC of a window's client area (null: the screen); null with ERROR_INVALID_WINDOW_HANDLE
// for a window that does not exist. Its records go to the DC's log and the window's log.
HDC GetDC(HWND window);
// The same for the whole window, frame included.
HDC GetWindowDC(HWND window);
// Ends a DC from GetDC/GetWindowDC: 1, or 0 for any other DC (memory DCs are deleted, not released).
int ReleaseDC(HWND window, HDC dc);
// A memory DC with a 1 x 1 stock bitmap selected; select a bitmap to give it a canvas.
HDC CreateCompatibleDC(HDC dc);
// Ends a memory DC; FALSE for a window DC or an unknown handle. Its objects are deselected.
BOOL DeleteDC(HDC dc);
// Pushes the DC's state (objects, colours, modes, origin, clip, position); the new level, or 0.
int SaveDC(HDC dc);
// Pops to level `savedDc`, or `-savedDc` levels back when negative; FALSE for a level not saved.
BOOL RestoreDC(HDC dc, int savedDc);
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous);
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* previous);
BOOL GetViewportOrgEx(HDC dc, POINT* origin);
// 96 dpi, 24 bits per pixel, the canvas's size (or 1024 x 768 for DCs without one).
int GetDeviceCaps(HDC dc, int index);

// ---- Objects -----------------------------------------------------------------------------
HBRUSH CreateSolidBrush(COLORREF color);
// BS_SOLID or BS_NULL; other styles are refused (null, ERROR_INVALID_PARAMETER).
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
HPEN CreatePen(int style, int width, COLORREF color);
HFONT CreateFontIndirectW(const LOGFONTW* font);
// A 24-bit bitmap of cx x cy pixels, white; null for sizes outside 1..16384.
HBITMAP CreateCompatibleBitmap(HDC dc, int cx, int cy);
HGDIOBJ GetStockObject(int index);
// Selects a brush, pen, font or bitmap; the previous object of that kind, or null (a bitmap
// into a window DC, a bitmap selected into another DC, an unknown object).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
// FALSE for an unknown object and for one that is selected into a DC; stock objects answer
// TRUE and stay.
BOOL DeleteObject(HGDIOBJ object);
// LOGBRUSH, LOGPEN, LOGFONTW or BITMAP into `buffer` (at most `size` bytes); the bytes written,
// or the size needed when `buffer` is null; 0 for an unknown object.
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
DWORD GetObjectType(HGDIOBJ object);
// The classic palette; 0 for an index it does not have.
DWORD GetSysColor(int index);
// A system-owned brush of that colour (never deleted); null for an unknown index.
HBRUSH GetSysColorBrush(int index);

// ---- Drawing -----------------------------------------------------------------------------
// FillRect/FrameRect also take a system colour as (HBRUSH)(index + 1), as Windows does.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL InvertRect(HDC dc, const RECT* rect);
BOOL DrawFocusRect(HDC dc, const RECT* rect);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
// Draws from the current position to (x, y), the end point excluded, and moves there.
BOOL LineTo(HDC dc, int x, int y);
BOOL Polyline(HDC dc, const POINT* points, int count);
// Filled with the brush (alternate fill), outlined with the pen.
BOOL Polygon(HDC dc, const POINT* points, int count);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
// CLR_INVALID outside the canvas or the clip, or for a DC without one.
COLORREF GetPixel(HDC dc, int x, int y);
// The classic 3-D edges; with BF_ADJUST the rectangle shrinks by what was drawn. Diagonal
// edges (BF_DIAGONAL) are recorded but not drawn.
BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags);
// PATCOPY, PATINVERT, DSTINVERT, BLACKNESS, WHITENESS with the selected brush (a null brush
// paints nothing); operations that need a source are refused.
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
// Any ternary raster operation of source, destination and the selected brush. A source bitmap
// that has no pixels (a placeholder) is drawn as a grey box with a cross.
BOOL BitBlt(HDC dc, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop);
BOOL StretchBlt(HDC dc, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, int sourceWidth,
                int sourceHeight, DWORD rop);
// How StretchBlt shrinks a picture (BLACKONWHITE .. HALFTONE of gdi_types.h); the previous mode, 0 for an
// unknown DC or mode. The stand-in samples the nearest pixel in every mode and records the mode.
int SetStretchBltMode(HDC hdc, int mode);
int GetStretchBltMode(HDC hdc);

// ---- Clipping ----------------------------------------------------------------------------
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
// The smallest rectangle around what may be drawn, in logical coordinates.
int GetClipBox(HDC dc, RECT* rect);

// ---- Text --------------------------------------------------------------------------------
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count);
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx);
// Formats and draws `count` characters (-1: up to the NUL) in `rect`. The height of the text,
// or with DT_VCENTER/DT_BOTTOM the offset from rect->top to the bottom of it; 0 on failure.
// DT_CALCRECT only measures: rect->right and rect->bottom are set to what the text needs.
int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format);
BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics);
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size);
// The configured faces (UiSetFontFaces); `family` null enumerates one entry per family, a
// name enumerates that family only. The callback's last answer (0 when nothing matched).
int EnumFontFamiliesW(HDC dc, LPCWSTR family, FONTENUMPROCW callback, LPARAM lParam);

// ---- Bitmaps -----------------------------------------------------------------------------
// An RT_BITMAP resource of `instance`; null with the resource error, or ERROR_INVALID_DATA
// for a damaged one.
HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name);
// IMAGE_BITMAP from resources, scaled to cx x cy when they are given; other kinds and
// LR_LOADFROMFILE are refused with ERROR_NOT_SUPPORTED.
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags);

// ---- The theme library ("UxTheme.DLL") -------------------------------------------------------
// Does nothing but record the call (UiThemeCalls); S_OK.
HRESULT SetWindowTheme(HWND window, LPCWSTR subAppName, LPCWSTR subIdList);
}

// ---- Device capabilities ---------------------------------------------------------------------
// The queries of DeviceCapabilitiesW, as the printer interface's DrvDeviceCapabilities answers them.
constexpr WORD DC_FIELDS = 1;
constexpr WORD DC_PAPERS = 2;
constexpr WORD DC_PAPERSIZE = 3;
constexpr WORD DC_MINEXTENT = 4;
constexpr WORD DC_MAXEXTENT = 5;
constexpr WORD DC_BINS = 6;
constexpr WORD DC_DUPLEX = 7;
constexpr WORD DC_SIZE = 8;
constexpr WORD DC_EXTRA = 9;
constexpr WORD DC_VERSION = 10;
constexpr WORD DC_DRIVER = 11;
constexpr WORD DC_BINNAMES = 12;
constexpr WORD DC_ENUMRESOLUTIONS = 13;
constexpr WORD DC_FILEDEPENDENCIES = 14;
constexpr WORD DC_TRUETYPE = 15;
constexpr WORD DC_PAPERNAMES = 16;
constexpr WORD DC_ORIENTATION = 17;
constexpr WORD DC_COPIES = 18;
constexpr WORD DC_BINADJUST = 19;
constexpr WORD DC_EMF_COMPLIANT = 20;
constexpr WORD DC_DATATYPE_PRODUCED = 21;
constexpr WORD DC_COLLATE = 22;
constexpr WORD DC_MANUFACTURER = 23;
constexpr WORD DC_MODEL = 24;
constexpr WORD DC_PERSONALITY = 25;
constexpr WORD DC_PRINTRATE = 26;
constexpr WORD DC_PRINTRATEUNIT = 27;
constexpr WORD DC_PRINTERMEM = 28;
constexpr WORD DC_MEDIAREADY = 29;
constexpr WORD DC_STAPLE = 30;
constexpr WORD DC_PRINTRATEPPM = 31;
constexpr WORD DC_COLORDEVICE = 32;
constexpr WORD DC_NUP = 33;
constexpr LONG DCTT_BITMAP = 0x1;
constexpr LONG DCTT_DOWNLOAD = 0x2;
constexpr LONG DCTT_SUBDEV = 0x4;
constexpr LONG DCTT_DOWNLOAD_OUTLINE = 0x8;
constexpr DWORD PRINTRATEUNIT_PPM = 1;
constexpr DWORD PRINTRATEUNIT_CPS = 2;
constexpr DWORD PRINTRATEUNIT_LPM = 3;
constexpr DWORD PRINTRATEUNIT_IPM = 4;

extern "C" {
// Asks the printer `pDevice`'s interface library (its driver's configuration file, loaded by
// name from the driver folder for the call) through its export DrvDeviceCapabilities and
// answers what it answers. `pPort` is not read. -1 with the last error set when the printer
// cannot be opened, its driver is unknown, or the library or its export cannot be loaded.
int DeviceCapabilitiesW(LPCWSTR pDevice, LPCWSTR pPort, WORD fwCapability, LPWSTR pOutput, const DEVMODEW* pDevMode);
}

// ---- What tests read back ------------------------------------------------------------------
enum class UiDrawKind {
  kFillRect,       // rect, color = the brush's colour
  kFrameRect,      // rect, color
  kInvertRect,     // rect
  kFocusRect,      // rect
  kRectangle,      // rect, color = pen (CLR_INVALID: null pen), background = brush (CLR_INVALID: null)
  kEllipse,        // as kRectangle
  kLine,           // points {from, to}, color = pen, style = pen style
  kPolyline,       // points, color, style
  kPolygon,        // points, color = pen, background = brush
  kPixel,          // points {at}, color
  kEdge,           // rect (before adjusting), style = edge, flags = BF_*
  kText,           // rect = the line's box, text as drawn, color, background, bkMode, flags = DT_*/ETO_*
  kBitmap,         // rect = destination, bitmapId (0 for a bitmap not from a resource), style = ROP,
                   // flags = the stretch mode
  kPatBlt,         // rect, color = brush, style = ROP
  kExcludeClip,    // rect
  kIntersectClip,  // rect
};

struct UiDrawRecord {
  UiDrawKind kind = UiDrawKind::kFillRect;
  RECT rect{};                  // logical coordinates, as the caller gave them
  std::vector<POINT> points;    // logical coordinates
  COLORREF color = CLR_INVALID;
  COLORREF background = CLR_INVALID;
  int bkMode = OPAQUE;
  std::u16string text;
  WORD bitmapId = 0;
  UINT style = 0;
  UINT flags = 0;
  bool clipped = false;         // a clip region was set by the caller; clip is its bounding box
  RECT clip{};                  // logical coordinates
  POINT viewportOrg{};
};
using UiDrawLog = std::vector<UiDrawRecord>;

// The log of the DC's calls since it was made; null for an unknown DC.
const UiDrawLog* UiDcDrawLog(HDC dc);
// The window's log: everything drawn through its DCs since its last UiBeginWindowLog (which
// BeginPaint calls). Empty for a window never drawn.
const UiDrawLog& UiWindowDrawLog(HWND window);
void UiBeginWindowLog(HWND window);
// Live objects of an OBJ_* kind (OBJ_BRUSH, OBJ_PEN, OBJ_FONT, OBJ_BITMAP, OBJ_DC for window
// DCs not released, OBJ_MEMDC); 0 counts brushes, pens, fonts and bitmaps together.
size_t UiLiveGdiObjects(DWORD kind);

// The faces EnumFontFamiliesW reports (UiResetAll restores the default list).
struct UiFontFace {
  std::u16string name;  // "@" names are the vertical forms of double-byte faces
  DWORD fontType = TRUETYPE_FONTTYPE;
  BYTE charSet = ANSI_CHARSET;
};
void UiSetFontFaces(std::vector<UiFontFace> faces);
std::vector<UiFontFace> UiDefaultFontFaces();

// SetWindowTheme calls in order (UiResetAll clears them).
struct UiThemeCall {
  HWND window;
  std::u16string subAppName;  // "" for null
  std::u16string subIdList;
};
std::vector<UiThemeCall> UiThemeCalls();

// ---- Pictures of windows -------------------------------------------------------------------
struct UiImage {
  int width = 0;
  int height = 0;
  std::vector<BYTE> rgb;  // rows top-down, 3 bytes a pixel, red first
  COLORREF Pixel(int x, int y) const;  // CLR_INVALID outside the image
};
// Draws `window` (shown or not) and its descendants that have WS_VISIBLE as the screen would
// show them: each is sent WM_ERASEBKGND and WM_PRINTCLIENT with a DC whose origin and clip are
// its client area, siblings from the bottom of the z-order up. A top-level window with a caption
// gets the classic frame (3 pixels) and caption bar (18 pixels) around it, so the picture is
// larger than the window by 6 x 24. FALSE (ERROR_INVALID_WINDOW_HANDLE) for an unknown window.
BOOL UiRenderWindow(HWND window, UiImage* image);
// The picture as a PNG file at the host path `path` (written whole or not at all).
BOOL UiSaveWindowPng(HWND window, const std::filesystem::path& path);
