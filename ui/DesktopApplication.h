#pragma once

class QString;

// What a program with windows sets up once its QApplication exists: the desktop entry it
// belongs to (the Wayland app id; X11 matches the entry's StartupWMClass), Qt's own texts in
// the member's language, and the desktop shell behind ShellSeam.
void SetUpDesktopApplication(const char* desktopId);

// Loads Qt's own translations (qtbase) for the system locale into the application, so the
// standard dialogs and buttons read as the desktop does ("확인", "열기" under Korean). False
// when Qt has none for that locale (or its translations are not installed).
bool InstallQtTranslations();

// False, with a line on standard error, when a skin picture (e.g. "images/download_bg.bmp")
// cannot be found where skinPath() looks: a window without its skin would come up blank.
bool RequireSkins(const QString& program, const char* const* skins);
