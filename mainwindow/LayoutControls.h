#pragma once

#include "platform/Twips.h"

namespace tallowby {

// Every rectangle of the main window that the layout reads or writes, in
// twips. Top-level controls are in the window's client coordinates (below
// the menu bar), the others inside their frame. Widgets without a place
// here (the buttons, the address label, ...) keep their design geometry.
struct FormGeometry {
    // Status bar: three panels from the bar's left edge; the bar's own top.
    double panel1Width = 0;
    double panel2Width = 0;
    double panel3Width = 0;
    double statusBarTop = 0;
    double panel1Left = 0;
    TwipsRect ProgressBar1;

    TwipsRect Command8;
    TwipsRect frmMain;
    TwipsRect Frame1;
    TwipsRect frmBrowser;

    // In frmMain.
    TwipsRect Drive1;
    TwipsRect Dir1;
    TwipsRect File1;

    // In Frame1. List1 is the size reference that lstResults follows.
    TwipsRect List1;
    TwipsRect lstResults;

    // In frmBrowser.
    TwipsRect Text1;
    TwipsRect Command3;
    TwipsRect WebBrowser1;

    bool operator==(const FormGeometry&) const = default;
};

// The geometry the window is designed with (client area 13455 x 9210).
FormGeometry DesignGeometry();

// The left frames' width in narrow-pane mode as designed: the least they
// are given before the user moves the splitter.
inline constexpr double kNarrowPaneWidth = 3735;
// The least the splitter leaves either side of it: the left frames, and
// the browser frame (before its right margin).
inline constexpr double kMinPaneWidth = 1500;

// The left frames' width in narrow-pane mode on a window W twips wide
// (outer width), their left edge at `left`: `chosen`, the width the user gave
// them with the splitter, or with none chosen yet (0) half of W but never
// less than kNarrowPaneWidth; either kept where both sides of the splitter
// keep kMinPaneWidth (the left frames' minimum winning on a window too
// narrow for both).
double NarrowPaneWidth(double chosen, double W, double left);

// Sizes and places the panes and their lists from the window's outer size
// W x H and the status bar's height S, all in twips, starting from
// `current`. Every computed width and height is the absolute value of its
// formula, so a window too small for its frames gives positive sizes that
// grow again as it shrinks. The left frames' widths, every top and every
// button but Command3 stay as they are. Pure: touches no widget.
FormGeometry LayoutControls(FormGeometry current, double W, double H, double S);

// The Expand half of Expand/Contract: both left frames become three
// quarters of the outer width W. The caller runs LayoutControls afterwards.
FormGeometry ExpandPanes(FormGeometry current, double W);

// The Contract half: both left frames go back to the narrow width, or to
// `width`.
FormGeometry ContractPanes(FormGeometry current, double width = kNarrowPaneWidth);

}  // namespace tallowby
