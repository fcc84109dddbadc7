// The eight commands of the main window.
#include "Form1.h"

void Form1::PushButton1_Click() {}
void Form1::PushButton2_Click() {}
void Form1::PushButton3_Click() {}
void Form1::PushButton4_Click() {}
void Form1::PushButton5_Click() {}
void Form1::PushButton6_Click() {}
void Form1::PushButton7_Click() {}
void Form1::PushButton8_Click() {}
