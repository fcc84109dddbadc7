// Start-up's check that the database components can be used, with the offer to repair them.
#include "Form1.h"

#include "app/ComponentCheck.h"

void Form1::IsADOInstalled() {
    // Nothing in here ever reaches the error box: a failure leaves start-up going on.
    try {
        if (ComponentCheck::run() == ComponentCheck::Outcome::Stop)
            m_programEnded = true;
    } catch (...) {
    }
}
