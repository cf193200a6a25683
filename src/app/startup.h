#pragma once

class QApplication;

// Sets the application's name, version, organisation, title, font and icon, and loads Qt's
// Chinese texts (loadQtTranslation). Runs before any window is created.
void prepareApplication(QApplication& app);

// Qt's own texts in Chinese, whatever the system's language: the buttons of the message
// boxes (确定, 是(Y), 否(N)), the file dialog, the edit boxes' menus.
void loadQtTranslation(QApplication& app);

// The program: the data module, then the main window, then the message loop.
int runProgram(int argc, char** argv);
