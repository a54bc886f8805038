// The colours the main window is painted in: the design's or the skin's in
// readable pairs whatever the user's colour scheme, or the user's system
// colours while high contrast is on.
#pragma once

#include <optional>
#include <vector>

#include "platform/Ui.h"

namespace glance {

// What the decision is made from: the window's colour properties as they
// read, the skin it was given, and the user's high-contrast setting.
struct ColourSources {
    struct Control {
        ControlId id;
        ControlKind kind;
        Colour back;  // its BackColor, for the kinds that have one
    };
    Colour windowBack = kWhite;
    std::vector<Control> controls;
    Colour buttonFore = kSystemButtonText;
    Colour buttonBack = kWhite;
    std::optional<SkinColours> skin;
    bool highContrast = false;
};

// The sources as the window's properties read now.
ColourSources colourSources(Window& window, const WindowLayout& design, bool highContrast);
WindowPaint decideWindowPaint(const ColourSources& sources);

// WCAG contrast ratio of two fixed colours (1 to 21).
double contrastRatio(Colour a, Colour b);

}  // namespace glance
