#pragma once
// What the main window paints, independent of the toolkit: the whole client area is described
// as filled rectangles, lines and texts on a Painter, in client pixels with the origin at the
// top left; a text's position is the top left corner of its cell.

#include <cstdint>
#include <string>

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kLightBlue{153, 204, 255};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kLime{50, 205, 50};
inline constexpr Rgb kYellow{255, 255, 0};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kGrey{160, 160, 160};

// left and top inside, right and bottom outside.
struct PaintRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const PaintRect&, const PaintRect&) = default;
};

inline constexpr int kClientWidth = 880;
inline constexpr int kClientHeight = 476;
inline constexpr PaintRect kTitleBand{0, 0, 880, 28};
inline constexpr PaintRect kStatusArea{0, 28, 880, 112};
inline constexpr PaintRect kControlArea{0, 112, 880, 392};
inline constexpr PaintRect kParkingBand{0, 392, 880, 448};
inline constexpr PaintRect kMessageLine{0, 448, 880, 476};
inline constexpr PaintRect kSimBox{397, 30, 425, 112};
inline constexpr PaintRect kRtBox{425, 30, 453, 112};

class Painter {
public:
    virtual ~Painter() = default;
    virtual void fillRect(const PaintRect& rect, Rgb colour) = 0;
    virtual void line(int x1, int y1, int x2, int y2, Rgb colour) = 0;
    // A UTF-8 text with the top left of its cell at (x, y), on a transparent background, cut off
    // at `right` (outside), where the field to its right begins.
    virtual void text(int x, int y, int right, const std::string& text, Rgb colour) = 0;
};

// The whole client area from the main window's fields, the settings and the message line.
// The controls themselves are drawn by the toolkit on top.
void gf_paintMainWindow(Painter& painter);

// The one-line notice in the title band.
extern const char* const kMakerNotice;
