#include "util/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace zartav {

QTranslator* installQtTranslation(QCoreApplication& app) {
    // Parented to the application: it must live as long as the texts are used.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Persian, QLocale::Iran), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}

}  // namespace zartav
