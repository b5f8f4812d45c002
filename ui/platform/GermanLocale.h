#pragma once

class QCoreApplication;

// The program speaks German whatever the system language: Qt's own dialogs (file and
// folder pickers, the overwrite question, the print dialog, the buttons of message boxes)
// through Qt's German translations, dates and numbers through the German locale.
// Returns false when the translations are not installed; the locale is German anyway.
bool InstallGermanLocale(QCoreApplication& app);
