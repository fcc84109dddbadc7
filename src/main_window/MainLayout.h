// The arithmetic of the main window's layout, in twips and without any window: the designed
// placement, the maximised and normal passes, and the chain that makes each control follow the
// one before it.
#pragma once

#include <array>

namespace MainLayout {

struct Box {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;

    float right() const { return left + width; }
    float bottom() const { return top + height; }
    bool operator==(const Box&) const = default;
};

// The controls of the main window, from the top of the window to its bottom.
struct Placement {
    Box listView1;
    Box pushButton2;
    Box pushButton1;
    Box pushButton3;
    Box pushButton5;
    Box listView2;
    Box pushButton4;
    Box pushButton6;
    Box pushButton7;
    Box pushButton8;
    bool operator==(const Placement&) const = default;
};

// The object name of each control with its box, in the order above.
struct Member {
    const char* name;
    Box Placement::*box;
};
extern const std::array<Member, 10> members;

// The placement of a freshly opened window, measured from the client area.
Placement designed();
constexpr float designedClientWidth = 8040;
constexpr float designedClientHeight = 8995;

// The gap between neighbouring controls and from the window's edges.
constexpr float gap = 120;

enum class WindowState { Normal, Minimised, Maximised };

// What one size change did.
struct Pass {
    bool laidOut = false; // the controls were moved or sized
    bool centre = false;  // the window is to be centred on the screen
};

// One size change of the window: the maximised pass (which sets the restore flag), or in the
// normal state the designed placement (the normal pass once the flag is set) grown to the room
// there is. outerWidth and outerHeight are the window's size with its frame; roomWidth and
// roomHeight what the controls have of the client area beyond the designed one (0 where it is
// not larger).
Pass resize(Placement& placement, WindowState state, bool& restoreFlag, float outerWidth, float outerHeight,
            float roomWidth = 0, float roomHeight = 0);

// Stretches the lists to the maximised window and follows with the chain. In a window too small
// for it the lists keep a height and width of 0, so every button stays below the one above it, and
// the first button pair does not move left of the lists' edge.
void maximisedPass(Placement& placement, float outerWidth, float outerHeight);
// The designed list sizes and first button left, then the chain.
void normalPass(Placement& placement);
// Each control placed from the one before it, every gap 120.
void commonChain(Placement& placement);
// A normal window larger than the design: the lists take the extra width and share the extra
// height; each button row keeps its place below its list, at the left.
void grow(Placement& placement, float extraWidth, float extraHeight);

// Where a window of the given outer size sits when centred on a screen of the given size.
struct Position {
    float left;
    float top;
};
Position centred(float screenWidth, float screenHeight, float windowWidth, float windowHeight);

} // namespace MainLayout
