// The composition root: which kinds of database the program opens and which features its main
// window carries. The program calls it first thing; tests that build the main window call it too.
#pragma once

namespace Composition {

// Registers the backends and the features (once; calling it again changes nothing).
void compose();

} // namespace Composition
