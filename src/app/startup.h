#pragma once

class QApplication;

// Sets the application's name, version, organisation, title, font and icon.
void prepareApplication(QApplication& app);

// The program: the data module, then the main window, then the message loop.
int runProgram(int argc, char** argv);
