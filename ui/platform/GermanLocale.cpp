#include "ui/platform/GermanLocale.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool InstallGermanLocale(QCoreApplication& app) {
    const QLocale german(QLocale::German, QLocale::Germany);
    QLocale::setDefault(german);
    // Owned by the application: the texts are looked up for as long as it runs.
    auto* translator = new QTranslator(&app);
    if (!translator->load(german, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
