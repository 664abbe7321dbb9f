// The language of each answer of velmora-web: the one a page's switch chose
// (a cookie), else the browser's Accept-Language, else English; a language
// without a catalogue is English too, and so is a tool that asks for none.
//
// velmora-web answers one request at a time, so a single translator,
// installed once and consulted first, answers every tr() in the language of
// the request under way, the libraries' messages included; between requests
// it steps aside, and the program's own messages follow the system's language.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QTranslator>

#include <memory>

namespace Web {

// "en", or the name of a catalogue ("zh_CN").
QString requestLanguage(const QByteArray &cookies, const QByteArray &acceptLanguage);
// The name of the cookie the pages' language switch sets.
extern const char LanguageCookie[];
// As <html lang> and Content-Language have it: "en", "zh-CN".
QString languageTag(const QString &language);

// A page's texts, written in it as {{text}}, through the translators
// (context "WebPage"; the request's, while one is under way): as text in
// markup, as a JSON string in the page's JSON script. {{@lang}} is
// language's tag.
QByteArray translatedPage(const QByteArray &html, const QString &language);

class RequestTranslator : public QTranslator
{
public:
    // Loads every catalogue from the programs' resources.
    RequestTranslator();
    ~RequestTranslator() override;

    // The request under way, or none (an empty language).
    void setLanguage(const QString &language) { m_language = language; }
    const QString &language() const { return m_language; }

    QString translate(const char *context, const char *sourceText, const char *disambiguation = nullptr,
                      int n = -1) const override;
    bool isEmpty() const override { return false; }

private:
    QString m_language;
    QHash<QString, std::shared_ptr<QTranslator>> m_catalogues;
};

// For the life of one answer.
class AnsweringIn
{
public:
    AnsweringIn(RequestTranslator &translator, const QString &language) : m_translator(translator)
    {
        translator.setLanguage(language);
    }
    ~AnsweringIn() { m_translator.setLanguage(QString()); }
    AnsweringIn(const AnsweringIn &) = delete;
    AnsweringIn &operator=(const AnsweringIn &) = delete;

private:
    RequestTranslator &m_translator;
};

} // namespace Web
