#pragma once
// The shell's side of core/shell_port.h: the message line, the main window's repaint, the
// application messages and the exit machine, installed at program start.

// Installs the shell's bodies of every port call; the program does so before its window exists.
void gf_connectShell();
