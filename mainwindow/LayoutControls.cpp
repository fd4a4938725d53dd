#include "LayoutControls.h"

#include <algorithm>
#include <cmath>

namespace tallowby {

FormGeometry DesignGeometry() {
    FormGeometry g;
    g.Command8 = {3960, 60, 2115, 795};
    g.frmMain = {60, 900, kNarrowPaneWidth, 7215};
    g.Frame1 = {3780, 900, 3795, 7215};
    g.frmBrowser = {8100, 840, 6375, 7215};
    g.Drive1 = {60, 1080, 3555, 315};
    g.Dir1 = {60, 1380, 3555, 2790};
    g.File1 = {60, 4200, 3555, 2820};
    g.List1 = {120, 1080, 3615, 2790};
    g.lstResults = {120, 1080, 6435, 4995};
    g.Text1 = {540, 240, 4875, 315};
    g.Command3 = {5460, 240, 795, 315};
    g.WebBrowser1 = {120, 1140, 6135, 5595};
    g.statusBarTop = 9210 - 315;
    return g;
}

FormGeometry LayoutControls(FormGeometry g, double W, double H, double S) {
    using std::abs;
    // The order matters: later steps read what earlier ones wrote.
    g.panel1Width = W / 4;
    g.panel2Width = W - 2 * g.panel1Width;
    g.panel3Width = W / 4;

    g.ProgressBar1.top = g.statusBarTop + 40;
    g.ProgressBar1.left = g.panel1Left + 30;
    g.ProgressBar1.height = S - 40;
    g.ProgressBar1.width = g.panel1Width - 50;

    g.frmMain.height = abs(H - S - g.frmMain.top - 600);
    g.Frame1.height = g.frmMain.height;
    g.Frame1.left = g.frmMain.left;
    g.frmBrowser.left = g.frmMain.left + g.frmMain.width;
    g.frmBrowser.height = g.frmMain.height;
    g.frmBrowser.width = abs(W - g.frmBrowser.left - 100);

    g.List1.height = abs(g.Frame1.height - g.List1.top - 1000 - S - 300);
    g.List1.width = abs(g.Frame1.width - 2 * g.List1.left);
    g.lstResults.height = g.List1.height;
    g.lstResults.width = g.List1.width;

    g.File1.height = abs(g.frmMain.height - g.File1.top - 200 - S - 300);

    g.Text1.width = abs(g.frmBrowser.width - g.Text1.left - 300 - g.Command3.width);
    g.Command3.left = g.Text1.width + g.Text1.left + 100;
    g.WebBrowser1.width = abs(g.frmBrowser.width - g.WebBrowser1.left - 100);
    g.WebBrowser1.height = abs(g.frmBrowser.height - g.WebBrowser1.top - S);

    g.Drive1.width = abs(g.frmMain.width - g.Drive1.left - 100);
    g.Dir1.width = abs(g.frmMain.width - g.Dir1.left - 100);
    g.File1.width = abs(g.frmMain.width - g.File1.left - 100);
    // List1 again, now from frmMain; the next run starts over from Frame1,
    // so lstResults always follows Frame1.
    g.List1.width = abs(g.frmMain.width - g.List1.left - 100);

    g.Command8.width = abs(W - g.Command8.left - 300);
    return g;
}

FormGeometry ExpandPanes(FormGeometry g, double W) {
    g.Frame1.width = std::abs(W / 4 * 3);
    g.frmMain.width = g.Frame1.width;
    return g;
}

FormGeometry ContractPanes(FormGeometry g, double width) {
    g.Frame1.width = width;
    g.frmMain.width = g.Frame1.width;
    return g;
}

double NarrowPaneWidth(double chosen, double W, double left) {
    const double width = chosen > 0 ? chosen : std::max(kNarrowPaneWidth, W / 2);
    // The browser frame ends 100 twips inside the window (LayoutControls).
    const double most = W - left - 100 - kMinPaneWidth;
    return std::max(kMinPaneWidth, std::min(width, most));
}

}  // namespace tallowby
