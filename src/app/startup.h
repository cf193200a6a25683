#pragma once

class QApplication;
class QString;

// Sets the application's name, version, organisation, title, font and icon, and loads Qt's
// Chinese texts (loadQtTranslation). Runs before any window is created.
void prepareApplication(QApplication& app);

// Qt's own texts in Chinese, whatever the system's language: the buttons of the message
// boxes (确定, 是(Y), 否(N)), the file dialog, the edit boxes' menus; and the few texts that
// Qt's translation lacks ("Folder" in the file dialog).
void loadQtTranslation(QApplication& app);

// Before the card file is used: when it does not open with the built-in key, it carries the
// user's own password, which is asked for (three tries) and used from then on. False when
// the user cancels or gives a wrong password three times (a box has then said so): the
// program ends. A file that cannot be opened for another reason is left to the main window,
// which reports it. The file is never written here.
bool unlockCardFile(const QString& path);

// Makes the formats Qt takes from the session Chinese (the dates and sizes of the file
// dialog), whatever the session's locale. Runs before the application object is created.
void useChineseFormats();

// The program: the card store and the main window (Program), then the message loop.
int runProgram(int argc, char** argv);
