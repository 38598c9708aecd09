#include "kit/interface/View.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "kit/interface/Window.h"
#include "kit/qt/Inspect.h"
#include "tests/TestSupport.h"

using testing_support::WaitUntil;
namespace inspect = kit::qt::inspect;

namespace {

constexpr uint32 kStroke = 1;  // "index": the stroke to draw

struct Stroke {
    bool ellipse;
    BPoint a;  // a line's start, or an ellipse's centre
    BPoint b;  // a line's end, or an ellipse's radii
    float pen;
    rgb_color color;
};

constexpr rgb_color kBlack{0, 0, 0, 255}, kWhite{255, 255, 255, 255}, kRed{255, 0, 0, 0},
    kBlue{0, 0, 255, 0};

// Thick and thin, steep and flat, across the edges, erasures in white over earlier strokes, and
// strokes in the pen of the one before.
const Stroke kStrokes[] = {
    {false, {10, 10}, {100, 80}, 7, kRed},    {false, {0, 45}, {119, 45}, 1, kBlack},
    {false, {60, 0}, {60, 89}, 1, kBlack},    {true, {30, 60}, {8, 8}, 2, kBlue},
    {false, {-20, 30}, {140, 70}, 5, kBlue},  {true, {112, 6}, {15, 9}, 5, kBlue},
    {false, {10, 10}, {100, 80}, 7, kWhite},  {false, {119, 0}, {0, 89}, 2, kBlack},
    {true, {30, 60}, {8, 8}, 2, kWhite},      {false, {5, 85}, {5, 85}, 1, kRed},
    {false, {40, 20}, {41, 70}, 6, kBlack},   {true, {0, 89}, {20, 20}, 4, kBlue},
    {false, {-20, 30}, {140, 70}, 5, kWhite}, {false, {80, 5}, {118, 5}, 3, kRed},
};
constexpr int32 kStrokeCount = sizeof kStrokes / sizeof kStrokes[0];

// Draws the strokes it is sent one message at a time, or, with all, every stroke in its Draw.
class StrokeView : public BView {
public:
    StrokeView(BRect frame, const char* name, bool all)
        : BView(frame, name, B_FOLLOW_NONE, B_WILL_DRAW), fAll(all) {}
    void Draw(BRect) override {
        for (int32 index = 0; fAll && index < kStrokeCount; ++index)
            DrawStroke(kStrokes[index]);
    }
    void MessageReceived(BMessage* message) override {
        if (int32 index; message->what == kStroke && message->FindInt32("index", &index) == B_OK)
            DrawStroke(kStrokes[index]);
    }

private:
    void DrawStroke(const Stroke& stroke) {
        SetHighColor(stroke.color);
        SetPenSize(stroke.pen);
        if (stroke.ellipse)
            StrokeEllipse(stroke.a, stroke.b.x, stroke.b.y);
        else
            StrokeLine(stroke.a, stroke.b);
    }

    const bool fAll;
};

int64 Pieces(const char* view) {
    return inspect::CanvasTraffic("strokes", view).value_or(inspect::Traffic{-1, 0}).pieces;
}

}  // namespace

TEST(ViewTest, WhatEachMessageDrawsShowsAsOnePassDrawsIt) {
    auto* window = new BWindow(BRect(100, 100, 349, 189), "strokes", B_TITLED_WINDOW,
                               B_NOT_RESIZABLE | B_NOT_ZOOMABLE);
    auto* piecewise = new StrokeView(BRect(0, 0, 119, 89), "piecewise", false);
    window->AddChild(piecewise);
    window->AddChild(new StrokeView(BRect(130, 0, 249, 89), "whole", true));
    window->Show();
    // Each message's strokes go to the GUI thread as a piece of its own, after the first clear.
    for (int32 index = 0; index < kStrokeCount; ++index) {
        BMessage stroke(kStroke);
        stroke.AddInt32("index", index);
        ASSERT_EQ(BMessenger(piecewise).SendMessage(&stroke), B_OK);
    }
    ASSERT_TRUE(WaitUntil([] { return Pieces("piecewise") == 1 + kStrokeCount; }))
        << Pieces("piecewise");
    ASSERT_TRUE(WaitUntil([] { return Pieces("whole") == 1; }));

    const std::vector<rgb_color> pieces = inspect::Pixels("strokes", "piecewise");
    const std::vector<rgb_color> whole = inspect::Pixels("strokes", "whole");
    ASSERT_EQ(pieces.size(), 120u * 90u);
    ASSERT_EQ(pieces.size(), whole.size());
    const auto at =
        std::mismatch(pieces.begin(), pieces.end(), whole.begin()).first - pieces.begin();
    EXPECT_EQ(at, ssize_t(pieces.size()))
        << "first difference at x " << at % 120 << ", y " << at / 120;

    window->PostMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(WaitUntil([] { return !inspect::FindWindow("strokes"); }));
}
