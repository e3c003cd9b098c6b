// Private window messages of zvs: the editor control, the console view and
// the variable view. The run thread talks to the views with these (always
// sent, never posted), so every change happens on the window thread.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zvs {

// Editor control ("nEdit").
constexpr UINT kEditRedo = WM_USER + 84;           // 1108: redo (ignored when read-only)
constexpr UINT kEditCanRedo = WM_USER + 85;        // 1109: 1 when a redo step exists
constexpr UINT kEditRelayout = WM_APP + 2;         // 32770: font metrics, caret, layout, repaint
constexpr UINT kEditWordWrap = WM_APP + 4;         // 32772: wParam 0/1
constexpr UINT kEditTextBytes = WM_APP + 5;        // 32773: bytes of the UTF-16 text
constexpr UINT kEditCopyText = WM_APP + 6;         // 32774: lParam buffer (bytes + 2); returns bytes
constexpr UINT kEditLoadText = WM_APP + 7;         // 32775: wParam bytes, lParam UTF-16 text
constexpr UINT kEditRunLine = WM_APP + 8;          // 32776: lParam line, -1 none
constexpr UINT kEditErrorLine = WM_APP + 9;        // 32777: lParam line, -1 none
constexpr UINT kEditKeywordSet = WM_APP + 10;      // 32778: wParam 1 = extended
constexpr UINT kEditSearch = WM_APP + 11;          // 32779: wParam 1 = match case, lParam text
constexpr UINT kEditLineNumbers = WM_APP + 12;     // 32780: wParam 0/1
constexpr UINT kEditGetMarker = WM_APP + 13;       // 32781: wParam 0 run / 1 error line (-1 none)
constexpr UINT kEditBars = WM_APP + 14;            // 32782: posted to itself: scroll bars follow

// Console view ("ConsoleViewClass").
constexpr UINT kConsoleAppend = WM_APP + 100;      // 32868: lParam text with colour marks
constexpr UINT kConsoleColours = WM_APP + 102;     // 32870: wParam text, lParam background (-1 system)
constexpr UINT kConsoleTabWidth = WM_APP + 104;    // 32872: wParam columns
constexpr UINT kConsoleMaxLines = WM_APP + 105;    // 32873: wParam lines (0 none)
constexpr UINT kConsoleRelayout = WM_APP + 106;    // 32874: font metrics and caret
constexpr UINT kConsoleMode = WM_APP + 108;        // 32876: wParam flag
constexpr UINT kConsoleResetInput = WM_APP + 109;  // 32877
constexpr UINT kConsoleStartInput = WM_APP + 110;  // 32878: wParam 1
constexpr UINT kConsoleInputPending = WM_APP + 111;  // 32879: 1 while the line is unfinished
constexpr UINT kConsoleInputText = WM_APP + 112;   // 32880: the entered text
constexpr UINT kConsoleBars = WM_APP + 114;        // 32882: posted to itself: the scroll bar follows

// Variable view ("VariableViewClass").
constexpr UINT kVarHasSelection = WM_APP + 107;    // 32875
constexpr UINT kVarShowScope = WM_APP + 110;       // 32878: lParam Scope*, null clears
constexpr UINT kVarSetNameWidth = WM_APP + 111;    // 32879: wParam pixels
constexpr UINT kVarGetNameWidth = WM_APP + 112;    // 32880
constexpr UINT kVarSetNameCaption = WM_APP + 113;  // 32881: lParam text
constexpr UINT kVarSetValueCaption = WM_APP + 114; // 32882: lParam text
constexpr UINT kVarHexMode = WM_APP + 115;         // 32883: wParam 0/1
constexpr UINT kVarBars = WM_APP + 117;            // 32885: posted to itself: the scroll bars follow
// WM_GETTEXT of the variable view gives the rows as shown, one a line: a
// space per level of nesting, then "name<TAB>value".

// Colour marks in console text: U+0003 and two digits select a colour,
// U+0003 alone returns to the normal one.
constexpr wchar_t kColourMark = 0x03;

}  // namespace zvs
