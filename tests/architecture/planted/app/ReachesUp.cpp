// A core file that reaches up into the main window: the check must refuse it.
#include "main_window/Form1.h"
