#include "controller/WindowColours.h"

#include <algorithm>
#include <initializer_list>

namespace glance {
namespace {

constexpr Colour rgb(int r, int g, int b) {
    return static_cast<Colour>(r | (g << 8) | (b << 16));
}
// Red, green or blue: the channel at bit 0, 8 or 16.
int channel(Colour c, int shift) {
    return static_cast<int>((c >> shift) & 0xFF);
}
bool isSystemColour(Colour c) {
    return (c & 0x80000000u) != 0;
}
constexpr Colour systemColour(int index) {
    return 0x80000000u | static_cast<Colour>(index);
}

// The system colours of the default Windows scheme, by index.
constexpr Colour kDefaultScheme[] = {
    rgb(200, 200, 200), rgb(0, 0, 0),       rgb(153, 180, 209), rgb(191, 205, 219), rgb(240, 240, 240),
    rgb(255, 255, 255), rgb(100, 100, 100), rgb(0, 0, 0),       rgb(0, 0, 0),       rgb(0, 0, 0),
    rgb(180, 180, 180), rgb(244, 247, 252), rgb(171, 171, 171), rgb(0, 120, 215),   rgb(255, 255, 255),
    rgb(240, 240, 240), rgb(160, 160, 160), rgb(109, 109, 109), rgb(0, 0, 0),       rgb(0, 0, 0),
    rgb(255, 255, 255), rgb(105, 105, 105), rgb(227, 227, 227), rgb(0, 0, 0),       rgb(255, 255, 225),
    rgb(0, 0, 0),       rgb(0, 102, 204),   rgb(185, 209, 234), rgb(215, 228, 242), rgb(0, 120, 215),
    rgb(240, 240, 240),
};

constexpr Colour kBlack = rgb(0, 0, 0);
constexpr Colour kNoColour = 0xFFFFFFFFu;  // neither an RGB colour nor a system one

// A system colour as the default Windows scheme has it; any other colour as it is.
Colour defaultSchemeColour(Colour colour) {
    if (!isSystemColour(colour)) return colour & 0x00FFFFFFu;
    const auto index = static_cast<std::size_t>(colour & 0xFFu);
    return index < std::size(kDefaultScheme) ? kDefaultScheme[index] : kBlack;
}

// System colours by the role they play in high contrast.
constexpr Colour kSysWindow = systemColour(5);
constexpr Colour kSysWindowText = systemColour(8);
constexpr Colour kSysHighlight = systemColour(13);
constexpr Colour kSysHighlightText = systemColour(14);
constexpr Colour kSysGrayText = systemColour(17);
constexpr Colour kSysHotLight = systemColour(26);

// The design's own look: a quiet grey frame outline and button border, and
// the blue of the 'Q' for hover.
constexpr Colour kFrameLine = rgb(200, 204, 208);
constexpr Colour kButtonBorder = rgb(190, 190, 190);
constexpr Colour kAccent = rgb(7, 162, 254);

constexpr double kTextContrast = 4.5;
constexpr double kCueContrast = 3.0;
// How clearly the focus cue's colour differs from the accent.
constexpr double kCueFromAccent = 1.5;
// How far hover tints a button's face toward the accent (of 255).
constexpr int kHoverTint = 32;

// A colour mixed toward another, amount in 0..255.
Colour mix(Colour from, Colour to, int amount) {
    Colour mixed = 0;
    for (const int shift : {0, 8, 16}) {
        const int a = channel(from, shift);
        mixed |= static_cast<Colour>(a + (channel(to, shift) - a) * amount / 255) << shift;
    }
    return mixed;
}

// x to the power 2.4 for x in (0, 1], as the fifth root of x^12 by Newton's
// method: the C library's pow would bring several kilobytes into the exe for
// this one use.
double powTwoPointFour(double x) {
    const double x2 = x * x;
    const double x12 = x2 * x2 * x2 * x2 * x2 * x2;
    double y = x2;  // above the root, so every step comes down toward it
    for (int i = 0; i < 64; ++i) {
        const double y4 = y * y * y * y;
        const double next = (4 * y + x12 / y4) / 5;
        if (next >= y) break;
        y = next;
    }
    return y;
}

double luminance(Colour c) {
    const auto linear = [c](int shift) {
        const double v = channel(c, shift) / 255.0;
        return v <= 0.04045 ? v / 12.92 : powTwoPointFour((v + 0.055) / 1.055);
    };
    return 0.2126 * linear(0) + 0.7152 * linear(8) + 0.0722 * linear(16);
}

// A text colour that followed the system (a design's or a skin's default)
// and does not read on the background it now comes with is replaced by
// black or white, whichever reads better. A colour chosen outright stays.
Colour readableText(Colour text, Colour back) {
    const Colour fixed = defaultSchemeColour(text);
    if (!isSystemColour(text) || contrastRatio(fixed, back) >= kTextContrast) return fixed;
    return contrastRatio(kBlack, back) >= contrastRatio(kWhite, back) ? kBlack : kWhite;
}

// A cue's colour: the accent darkened (or lightened) step by step, from
// firstStep on, until it stands out 3:1 against every background it is
// drawn on, differs from the accent by apart and is not the colour unlike.
// Failing that, the step that stands out most.
Colour cueColour(Colour accent, std::initializer_list<Colour> backs, int firstStep, double apart,
                 Colour unlike) {
    Colour best = accent;
    double bestContrast = 0;
    for (const Colour toward : {kBlack, kWhite}) {
        for (int step = firstStep; step <= 8; ++step) {
            const Colour cue = mix(accent, toward, std::min(step * 32, 255));
            if (cue == unlike) continue;
            double contrast = 21;  // the most that two colours can have
            for (const Colour back : backs) contrast = std::min(contrast, contrastRatio(cue, back));
            if (contrast >= kCueContrast && contrastRatio(cue, accent) >= apart) return cue;
            if (contrast > bestContrast) {
                best = cue;
                bestContrast = contrast;
            }
        }
    }
    return best;
}

ControlPaint plainPaint(Colour back, Colour text, Colour line) {
    ControlPaint paint;
    paint.back = back;
    paint.text = readableText(text, back);
    paint.line = defaultSchemeColour(line);
    paint.grayText = defaultSchemeColour(kSysGrayText);
    return paint;
}

ControlPaint buttonPaint(Colour face, Colour text, Colour border, Colour accent, Colour window) {
    face = defaultSchemeColour(face);
    accent = defaultSchemeColour(accent);
    ControlPaint paint = plainPaint(face, text, border);
    paint.hotBack = mix(face, accent, kHoverTint);
    // Hover's border lies between the window and the tinted face; the focus
    // ring lies on the face, tinted or not.
    paint.hot = cueColour(accent, {window, paint.hotBack}, 0, 1.0, kNoColour);
    paint.focus = cueColour(accent, {face, paint.hotBack, window}, 1, kCueFromAccent, paint.hot);
    paint.pressedBack = mix(face, kBlack, 24);
    paint.pressedText = paint.text;
    return paint;
}

// High contrast: the user's own colours for everything, no skin.
ControlPaint highContrastPaint(ControlKind kind) {
    ControlPaint paint;
    paint.grayText = kSysGrayText;
    if (kind != ControlKind::PushButton) {
        paint.back = kSysWindow;
        paint.text = paint.line = kSysWindowText;
        return paint;
    }
    // Outlines in the text colour; focus and hover in the selection colours.
    paint.back = paint.hotBack = kSystemFace;
    paint.text = paint.line = kSystemButtonText;
    paint.focus = kSysHighlight;
    paint.hot = kSysHotLight;
    paint.pressedBack = kSysHighlight;
    paint.pressedText = kSysHighlightText;
    return paint;
}

}  // namespace

double contrastRatio(Colour a, Colour b) {
    const double la = luminance(defaultSchemeColour(a));
    const double lb = luminance(defaultSchemeColour(b));
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

ColourSources colourSources(Window& window, const WindowLayout& design, bool highContrast) {
    ColourSources sources{window.backColor(), {},          design.buttonForeColor, design.buttonBackColor,
                          window.skin(),      highContrast};
    for (const auto& [id, kind] : window.controls())
        sources.controls.push_back({id, kind, takesBackColor(kind) ? window.controlBackColor(id) : kWhite});
    return sources;
}

WindowPaint decideWindowPaint(const ColourSources& sources) {
    WindowPaint paint;
    if (sources.highContrast) {
        paint.back = kSysWindow;
        for (const auto& control : sources.controls)
            if (control.kind == ControlKind::PushButton || takesBackColor(control.kind))
                paint.controls.emplace_back(control.id, highContrastPaint(control.kind));
        return paint;
    }
    const SkinColours* skin = sources.skin ? &*sources.skin : nullptr;
    paint.back = defaultSchemeColour(skin ? skin->windowBack : sources.windowBack);
    for (const auto& control : sources.controls) {
        if (control.kind == ControlKind::PushButton) {
            paint.controls.emplace_back(
                control.id, skin ? buttonPaint(skin->buttonFace, skin->buttonText, skin->buttonBorder,
                                               skin->accent, paint.back)
                                 : buttonPaint(sources.buttonBack, sources.buttonFore, kButtonBorder, kAccent,
                                               paint.back));
        } else if (takesBackColor(control.kind)) {
            paint.controls.emplace_back(
                control.id,
                skin ? plainPaint(paint.back, skin->text, skin->buttonBorder)
                     : plainPaint(defaultSchemeColour(control.back), kSystemButtonText, kFrameLine));
        }
    }
    return paint;
}

}  // namespace glance
