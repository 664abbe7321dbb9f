#include "requestlanguage.h"

#include "link/phrases.h"
#include "shell/translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>

namespace Web {

const char LanguageCookie[] = "velmora_lang";

namespace {

const QString English = QStringLiteral("en");

// The catalogue for a language tag of the browser's ("zh-CN", "zh-Hans",
// "zh"), matched on language and script: Traditional Chinese has none.
QString catalogueFor(const QString &tag)
{
    if (tag == QLatin1String("*"))
        return English;
    const QLocale asked(tag);
    if (asked.language() == QLocale::English)
        return English;
    if (asked.language() == QLocale::C || asked.language() == QLocale::AnyLanguage)
        return {};
    for (const QString &name : Translations::available()) {
        const QLocale catalogue(name);
        if (catalogue.language() == asked.language() && catalogue.script() == asked.script())
            return name;
    }
    return {};
}

QString fromAcceptLanguage(const QByteArray &header)
{
    struct Choice
    {
        QString tag;
        double weight;
    };
    std::vector<Choice> choices;
    for (const QByteArray &part : header.split(',')) {
        const QList<QByteArray> fields = part.split(';');
        const QString tag = QString::fromLatin1(fields.value(0).trimmed());
        if (tag.isEmpty())
            continue;
        double weight = 1;
        for (qsizetype i = 1; i < fields.size(); ++i) {
            const QByteArray field = fields[i].trimmed();
            if (field.startsWith("q="))
                weight = field.mid(2).toDouble();
        }
        if (weight > 0)
            choices.push_back({tag, weight});
    }
    std::stable_sort(choices.begin(), choices.end(),
                     [](const Choice &a, const Choice &b) { return a.weight > b.weight; });
    for (const Choice &choice : choices) {
        const QString catalogue = catalogueFor(choice.tag);
        if (!catalogue.isEmpty())
            return catalogue;
    }
    return English;
}

QString jsonEscaped(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '<': out += QLatin1String("\\u003c"); break;
        case '>': out += QLatin1String("\\u003e"); break;
        case '&': out += QLatin1String("\\u0026"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out;
}

} // namespace

QString requestLanguage(const QByteArray &cookies, const QByteArray &acceptLanguage)
{
    const QByteArray prefix = QByteArray(LanguageCookie) + '=';
    for (const QByteArray &part : cookies.split(';')) {
        const QByteArray cookie = part.trimmed();
        if (!cookie.startsWith(prefix))
            continue;
        const QString chosen = QString::fromLatin1(cookie.mid(prefix.size()));
        if (chosen == English || Translations::available().contains(chosen))
            return chosen;
    }
    return fromAcceptLanguage(acceptLanguage);
}

QString languageTag(const QString &language)
{
    return QString(language).replace(QLatin1Char('_'), QLatin1Char('-'));
}

QByteArray translatedPage(const QByteArray &html, const QString &language)
{
    static const QRegularExpression marker(QStringLiteral("\\{\\{([^{}]+)\\}\\}"));
    const QString page = QString::fromUtf8(html);
    // The page's texts for its script: a JSON object in a script element.
    const qsizetype jsonStart = page.indexOf(QLatin1String("<script type=\"application/json\""));
    const qsizetype jsonEnd = jsonStart < 0 ? -1 : page.indexOf(QLatin1String("</script>"), jsonStart);
    QString out;
    qsizetype done = 0;
    for (auto found = marker.globalMatch(page); found.hasNext();) {
        const QRegularExpressionMatch match = found.next();
        out += QStringView(page).mid(done, match.capturedStart() - done);
        const QString text = match.captured(1);
        const QString translated = text == QLatin1String("@lang")
                                       ? languageTag(language)
                                       : QCoreApplication::translate("WebPage", text.toUtf8().constData());
        const bool inJson = match.capturedStart() > jsonStart && match.capturedStart() < jsonEnd;
        out += inJson ? jsonEscaped(translated) : translated.toHtmlEscaped();
        done = match.capturedEnd();
    }
    out += QStringView(page).mid(done);
    // And the phrases of the record's kept texts (a device's outcome), for
    // the script to say them in the page's language.
    const qsizetype object = jsonStart < 0 ? -1 : out.indexOf(QLatin1Char('{'), out.indexOf(QLatin1String("<script type=\"application/json\"")));
    if (object >= 0 && language != English) {
        QStringList phrases;
        for (const QString &source : Phrases::sources())
            phrases << QStringLiteral("\"%1\": \"%2\"").arg(
                jsonEscaped(source), jsonEscaped(QCoreApplication::translate("Link::Phrases", source.toLatin1().constData())));
        out.insert(object + 1, QStringLiteral("\"@phrases\": {%1}, \"@joint\": \"%2\",\n")
                                   .arg(phrases.join(QLatin1String(", ")),
                                        jsonEscaped(QCoreApplication::translate("Link::Phrases", Phrases::joint()))));
    }
    return out.toUtf8();
}

RequestTranslator::RequestTranslator()
{
    for (const QString &name : Translations::available()) {
        auto catalogue = std::make_shared<QTranslator>();
        if (catalogue->load(QStringLiteral("velmora_") + name, QStringLiteral(":/i18n")))
            m_catalogues.insert(name, catalogue);
    }
}

RequestTranslator::~RequestTranslator() = default;

QString RequestTranslator::translate(const char *context, const char *sourceText, const char *disambiguation,
                                     int n) const
{
    if (m_language.isEmpty())
        return {};  // no request under way: the system's language
    const auto catalogue = m_catalogues.constFind(m_language);
    if (catalogue != m_catalogues.constEnd()) {
        const QString translated = (*catalogue)->translate(context, sourceText, disambiguation, n);
        if (!translated.isEmpty())
            return translated;
    }
    // English, or a text the catalogue lacks: as written, not the system's language.
    return QString::fromUtf8(sourceText);
}

} // namespace Web
