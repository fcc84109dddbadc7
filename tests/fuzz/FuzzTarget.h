// The fuzz target's checks, shared by the libFuzzer entry points and the replay driver.
#pragma once

#include <QString>

namespace FuzzTarget {

// Creates the application object and the scratch database; called once before run().
void setUp(int* argc, char*** argv);
// Whether a fault ends the process (libFuzzer then keeps the input) or is counted and reported.
void setAbortOnFault(bool abort);
long faultCount();
// All checks on one text.
void run(const QString& text);

} // namespace FuzzTarget
