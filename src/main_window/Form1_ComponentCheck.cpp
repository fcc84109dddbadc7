// Start-up's check that the database components can be used.
#include "Form1.h"

void Form1::IsADOInstalled() {}
