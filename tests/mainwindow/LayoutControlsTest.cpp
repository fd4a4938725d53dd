#include <gtest/gtest.h>

#include "mainwindow/LayoutControls.h"

namespace tallowby {
namespace {

// The design window's outer size and status bar.
constexpr double kW = 13785;
constexpr double kH = 10095;
constexpr double kS = 315;

TEST(LayoutControls, DesignSizeGivesTheWorkedFigures) {
    const FormGeometry g = LayoutControls(DesignGeometry(), kW, kH, kS);

    EXPECT_DOUBLE_EQ(g.panel1Width, 3446.25);
    EXPECT_DOUBLE_EQ(g.panel2Width, 6892.5);
    EXPECT_DOUBLE_EQ(g.panel3Width, 3446.25);
    EXPECT_DOUBLE_EQ(g.panel1Width + g.panel2Width + g.panel3Width, kW);

    EXPECT_DOUBLE_EQ(g.frmMain.height, 8280);
    EXPECT_DOUBLE_EQ(g.Frame1.height, 8280);
    EXPECT_DOUBLE_EQ(g.frmBrowser.height, 8280);
    EXPECT_DOUBLE_EQ(g.Frame1.left, 60);
    EXPECT_DOUBLE_EQ(g.frmBrowser.left, 3795);
    EXPECT_DOUBLE_EQ(g.frmBrowser.width, 9890);

    EXPECT_DOUBLE_EQ(g.lstResults.height, 5585);
    EXPECT_DOUBLE_EQ(g.lstResults.width, 3555);  // from Frame1's design width 3795
    EXPECT_DOUBLE_EQ(g.List1.width, 3515);       // sized again from frmMain: 3735 - 120 - 100
    EXPECT_DOUBLE_EQ(g.Command8.width, 9525);

    EXPECT_DOUBLE_EQ(g.File1.height, 8280 - 4200 - 200 - kS - 300);
    EXPECT_DOUBLE_EQ(g.Drive1.width, 3575);
    EXPECT_DOUBLE_EQ(g.Dir1.width, 3575);
    EXPECT_DOUBLE_EQ(g.File1.width, 3575);

    EXPECT_DOUBLE_EQ(g.Text1.width, 9890 - 540 - 300 - 795);
    EXPECT_DOUBLE_EQ(g.Command3.left, g.Text1.width + 540 + 100);
    EXPECT_DOUBLE_EQ(g.WebBrowser1.width, 9890 - 120 - 100);
    EXPECT_DOUBLE_EQ(g.WebBrowser1.height, 8280 - 1140 - kS);
}

TEST(LayoutControls, ProgressBarSitsOverPanelOne) {
    FormGeometry start = DesignGeometry();
    start.statusBarTop = 9000;
    start.panel1Left = 0;
    const FormGeometry g = LayoutControls(start, kW, kH, kS);
    EXPECT_EQ(g.ProgressBar1, (TwipsRect{30, 9040, 3446.25 - 50, kS - 40}));
}

TEST(LayoutControls, LeavesTopsFrameWidthsAndButtonsAlone) {
    const FormGeometry design = DesignGeometry();
    const FormGeometry g = LayoutControls(design, kW, kH, kS);
    EXPECT_EQ(g.frmMain.top, 900);
    EXPECT_EQ(g.Frame1.top, 900);
    EXPECT_EQ(g.frmBrowser.top, 840);
    EXPECT_EQ(g.frmMain.width, design.frmMain.width);
    EXPECT_EQ(g.Frame1.width, design.Frame1.width);
    EXPECT_EQ(g.Command8.left, design.Command8.left);
    EXPECT_EQ(g.Command3.top, design.Command3.top);
    EXPECT_EQ(g.File1.top, design.File1.top);
    EXPECT_EQ(g.List1.top, design.List1.top);
}

TEST(LayoutControls, NegativeSizesBecomeTheirAbsoluteValue) {
    // H below S + 1500: the frames' formula goes negative and its absolute
    // value is used, so the frames grow again as the window shrinks.
    const FormGeometry small = LayoutControls(DesignGeometry(), 2000, 1200, kS);
    EXPECT_DOUBLE_EQ(small.frmMain.height, 615);      // |1200 - 315 - 900 - 600|
    EXPECT_DOUBLE_EQ(small.frmBrowser.width, 1895);   // |2000 - 3795 - 100|
    EXPECT_DOUBLE_EQ(small.lstResults.height, 2080);  // |615 - 1080 - 1000 - 315 - 300|
    EXPECT_DOUBLE_EQ(small.Command8.width, 2260);     // |2000 - 3960 - 300|

    const FormGeometry smaller = LayoutControls(DesignGeometry(), 2000, 900, kS);
    EXPECT_GT(smaller.frmMain.height, small.frmMain.height);

    // Every size the layout writes is non-negative for any window.
    for (double w : {0.0, 500.0, 4000.0, 30000.0}) {
        for (double h : {0.0, 700.0, 1815.0, 20000.0}) {
            const FormGeometry g = LayoutControls(DesignGeometry(), w, h, kS);
            for (const TwipsRect* r :
                 {&g.frmMain, &g.Frame1, &g.frmBrowser, &g.List1, &g.lstResults, &g.File1,
                  &g.Drive1, &g.Dir1, &g.Text1, &g.WebBrowser1, &g.Command8}) {
                EXPECT_GE(r->width, 0) << w << "x" << h;
                EXPECT_GE(r->height, 0) << w << "x" << h;
            }
        }
    }
}

TEST(LayoutControls, ResultsListFollowsFrame1NotFrmMain) {
    // List1 ends a run sized from frmMain; the next run starts over from
    // Frame1, so running twice gives the same results list.
    const FormGeometry once = LayoutControls(DesignGeometry(), kW, kH, kS);
    const FormGeometry twice = LayoutControls(once, kW, kH, kS);
    EXPECT_EQ(once, twice);
}

TEST(LayoutControls, WidePanesKeepTheirWidthWhenTheWindowGrows) {
    FormGeometry g = LayoutControls(DesignGeometry(), 12000, kH, kS);
    g = LayoutControls(ExpandPanes(g, 12000), 12000, kH, kS);
    EXPECT_DOUBLE_EQ(g.frmMain.width, 9000);
    EXPECT_DOUBLE_EQ(g.Frame1.width, 9000);
    EXPECT_DOUBLE_EQ(g.frmBrowser.left, 9060);
    EXPECT_DOUBLE_EQ(g.frmBrowser.width, 12000 - 9060 - 100);
    EXPECT_DOUBLE_EQ(g.lstResults.width, 9000 - 240);
    EXPECT_DOUBLE_EQ(g.File1.width, 9000 - 60 - 100);

    g = LayoutControls(g, 16000, kH, kS);
    EXPECT_DOUBLE_EQ(g.frmMain.width, 9000);
    EXPECT_DOUBLE_EQ(g.frmBrowser.left, 9060);
    EXPECT_DOUBLE_EQ(g.frmBrowser.width, 16000 - 9060 - 100);

    g = LayoutControls(ContractPanes(g), 16000, kH, kS);
    EXPECT_DOUBLE_EQ(g.frmMain.width, kNarrowPaneWidth);
    EXPECT_DOUBLE_EQ(g.Frame1.width, kNarrowPaneWidth);
    EXPECT_DOUBLE_EQ(g.frmBrowser.left, 60 + kNarrowPaneWidth);
    EXPECT_DOUBLE_EQ(g.lstResults.width, kNarrowPaneWidth - 240);
}

TEST(TwipsConversion, RoundsEdgesSoNeighboursMeet) {
    const QRect left = twips::ToPixels(TwipsRect{60, 900, 3735, 8280});
    const QRect right = twips::ToPixels(TwipsRect{3795, 840, 9890, 8280});
    EXPECT_EQ(left.x() + left.width(), right.x());
    EXPECT_EQ(right, QRect(253, 56, 659, 552));
}

}  // namespace
}  // namespace tallowby
