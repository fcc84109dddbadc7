#include "MainLayout.h"

#include <algorithm>

namespace MainLayout {

const std::array<Member, 10> members = {{
    {"ListView1", &Placement::listView1},
    {"PushButton2", &Placement::pushButton2},
    {"PushButton1", &Placement::pushButton1},
    {"PushButton3", &Placement::pushButton3},
    {"PushButton5", &Placement::pushButton5},
    {"ListView2", &Placement::listView2},
    {"PushButton4", &Placement::pushButton4},
    {"PushButton6", &Placement::pushButton6},
    {"PushButton7", &Placement::pushButton7},
    {"PushButton8", &Placement::pushButton8},
}};

Placement designed() {
    Placement p;
    p.listView1 = {120, 120, 7800, 3315};
    p.pushButton2 = {120, 3525, 3840, 405};
    p.pushButton1 = {4080, 3525, 3840, 405};
    p.pushButton3 = {120, 4035, 3840, 405};
    p.pushButton5 = {4080, 4035, 3840, 405};
    p.listView2 = {120, 4560, 7800, 3315};
    p.pushButton4 = {120, 7960, 3840, 405};
    p.pushButton6 = {4080, 7960, 3840, 405};
    p.pushButton7 = {120, 8470, 3840, 405};
    p.pushButton8 = {4080, 8470, 3840, 405};
    return p;
}

Pass resize(Placement& placement, WindowState state, bool& restoreFlag, float outerWidth, float outerHeight,
            float roomWidth, float roomHeight) {
    if (state == WindowState::Maximised) {
        maximisedPass(placement, outerWidth, outerHeight);
        restoreFlag = true;
        return {true, false};
    }
    if (state != WindowState::Normal)
        return {};
    // Grown from where the controls stand at the window's own size, never from where a larger
    // size left them.
    if (restoreFlag)
        normalPass(placement);
    else
        placement = designed();
    grow(placement, std::max(0.0f, roomWidth), std::max(0.0f, roomHeight));
    return {true, restoreFlag};
}

void maximisedPass(Placement& p, float outerWidth, float outerHeight) {
    const float h = p.pushButton2.height;
    p.listView1.width = std::max(0.0f, outerWidth - 330);
    p.listView1.height = std::max(0.0f, (outerHeight - 4 * h - 1320) / 2);
    p.pushButton2.left = std::max(p.listView1.left, outerWidth / 2 - p.pushButton2.width - 840);
    commonChain(p);
}

void normalPass(Placement& p) {
    p.listView1.width = 7800;
    p.listView1.height = 3315;
    p.pushButton2.left = 120;
    commonChain(p);
}

void commonChain(Placement& p) {
    p.pushButton2.top = p.listView1.height + p.listView1.top + gap;
    p.pushButton1.left = p.pushButton2.width + p.pushButton2.left + gap;
    p.pushButton1.top = p.pushButton2.top;
    p.pushButton3.left = p.pushButton2.left;
    p.pushButton3.top = p.pushButton2.height + p.pushButton2.top + gap;
    p.pushButton5.left = p.pushButton3.width + p.pushButton3.left + gap;
    p.pushButton5.top = p.pushButton3.top;
    p.listView2.width = p.listView1.width;
    p.listView2.height = p.listView1.height;
    p.listView2.top = p.pushButton3.height + p.pushButton3.top + gap;
    p.pushButton4.left = p.pushButton3.left;
    p.pushButton4.top = p.listView2.height + p.listView2.top + gap;
    p.pushButton6.left = p.pushButton4.width + p.pushButton4.left + gap;
    p.pushButton6.top = p.pushButton4.top;
    p.pushButton7.left = p.pushButton4.left;
    p.pushButton7.top = p.pushButton4.height + p.pushButton4.top + gap;
    p.pushButton8.left = p.pushButton7.width + p.pushButton7.left + gap;
    p.pushButton8.top = p.pushButton7.top;
}

void grow(Placement& p, float extraWidth, float extraHeight) {
    const float upper = extraHeight / 2;
    p.listView1.width += extraWidth;
    p.listView1.height += upper;
    p.listView2.width += extraWidth;
    p.listView2.height += extraHeight - upper;
    for (Box* b : {&p.pushButton2, &p.pushButton1, &p.pushButton3, &p.pushButton5, &p.listView2})
        b->top += upper;
    for (Box* b : {&p.pushButton4, &p.pushButton6, &p.pushButton7, &p.pushButton8})
        b->top += extraHeight;
}

Position centred(float screenWidth, float screenHeight, float windowWidth, float windowHeight) {
    return {(screenWidth - windowWidth) / 2, (screenHeight - windowHeight) / 2};
}

} // namespace MainLayout
