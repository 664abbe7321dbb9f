#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace Translations {

namespace {

const QString ResourceFolder = QStringLiteral(":/i18n");
const QString English = QStringLiteral("en");

// The system's locale tries its user's languages in turn (LANGUAGE too, as
// gettext does); one chosen, only itself.
QLocale localeFor(const QString &language)
{
    return language.isEmpty() ? QLocale::system() : QLocale(language);
}

} // namespace

QStringList available()
{
    return {QStringLiteral("zh_CN")};
}

QString install(const QString &language)
{
    const QLocale locale = localeFor(language);
    // The C locale (LC_ALL=C) stands for no language, whatever LANGUAGE says.
    if (locale.language() == QLocale::C)
        return English;
    auto *ours = new QTranslator(QCoreApplication::instance());
    if (!ours->load(locale, QStringLiteral("velmora"), QStringLiteral("_"), ResourceFolder)) {
        delete ours;
        return English;
    }
    QCoreApplication::installTranslator(ours);
    // Qt's own texts (a file dialog's buttons), where Debian's qt6-translations-l10n put them.
    auto *qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    return ours->language();
}

} // namespace Translations
