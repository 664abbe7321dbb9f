#include "phrases.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <array>
#include <vector>

namespace Phrases {

namespace {

// In the order of Phrase.
constexpr std::array<const char *, 28> Sources = {
    QT_TRANSLATE_NOOP("Link::Phrases", "not a serial port"),
    QT_TRANSLATE_NOOP("Link::Phrases", "a folder, not a serial port"),
    QT_TRANSLATE_NOOP("Link::Phrases", "a file, not a serial port"),
    QT_TRANSLATE_NOOP("Link::Phrases", "no such device (not plugged in?)"),
    QT_TRANSLATE_NOOP("Link::Phrases", "no such serial port (not plugged in?)"),
    QT_TRANSLATE_NOOP("Link::Phrases", "in use by %1"),
    QT_TRANSLATE_NOOP("Link::Phrases", "another program"),
    QT_TRANSLATE_NOOP("Link::Phrases",
                      "serial ports belong to the group dialout: sudo adduser \"$USER\" dialout, then log in again"),
    QT_TRANSLATE_NOOP("Link::Phrases", "cannot open: %1"),
    QT_TRANSLATE_NOOP("Link::Phrases", "no answer"),
    QT_TRANSLATE_NOOP("Link::Phrases", "verify: %1 of %2 values differ"),
    QT_TRANSLATE_NOOP("Link::Phrases", "%1 refused: %2"),
    QT_TRANSLATE_NOOP("Link::Phrases", "no clean answer to %1 after %2 frame(s): %3"),
    QT_TRANSLATE_NOOP("Link::Phrases", "more bytes came than a refusal has (a late answer on the line?)"),
    QT_TRANSLATE_NOOP("Link::Phrases", "more bytes came than a block has (a late answer on the line?)"),
    QT_TRANSLATE_NOOP("Link::Phrases", "the block holds values no device has (read out of place?)"),
    QT_TRANSLATE_NOOP("Link::Phrases", "line failed during %1: %2"),
    QT_TRANSLATE_NOOP("Link::Phrases", "no answer to %1 after %2 frame(s)"),
    QT_TRANSLATE_NOOP("Link::Phrases", "the line is not open"),
    QT_TRANSLATE_NOOP("Link::Phrases", "the line did not go quiet for %1 ms: something else is sending on it"),
    QT_TRANSLATE_NOOP("Link::Phrases", "the line hung up"),
    QT_TRANSLATE_NOOP("Link::Phrases", "%1: wrote %2, device has %3"),
    QT_TRANSLATE_NOOP("Link::Phrases", "%1 byte(s) came after their deadline and were dropped"),
    QT_TRANSLATE_NOOP("Link::Phrases", "port lost"),
    QT_TRANSLATE_NOOP("Link::Phrases", "after the last run stopped: %1"),
    QT_TRANSLATE_NOOP("Link::Phrases", "its device may hold this row"),
    QT_TRANSLATE_NOOP("Link::Phrases", "its device holds this row"),
    QT_TRANSLATE_NOOP("Link::Phrases", "not written: %1"),
};
static_assert(Sources.size() == size_t(Phrase::NotWritten) + 1, "a source for every phrase");

// What joins the phrases of a kept text.
const char *const Joint = QT_TRANSLATE_NOOP("Link::Phrases", "; ");

struct Pattern
{
    const char *source;
    QRegularExpression match;  // the phrase, each %N a group
};

const std::vector<Pattern> &patterns()
{
    static const std::vector<Pattern> all = [] {
        std::vector<Pattern> built;
        // escape() writes % as \%.
        static const QRegularExpression placeholder(QStringLiteral("\\\\?%[1-9]"));
        for (const char *source : Sources) {
            QString pattern = QRegularExpression::escape(QString::fromLatin1(source));
            pattern.replace(placeholder, QStringLiteral("(.+?)"));
            built.push_back({source, QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                                                        QRegularExpression::DotMatchesEverythingOption)});
        }
        return built;
    }();
    return all;
}

QString saidPart(const QString &part)
{
    for (const Pattern &pattern : patterns()) {
        const QRegularExpressionMatch found = pattern.match.match(part);
        if (!found.hasMatch())
            continue;
        const QString text = QCoreApplication::translate("Link::Phrases", pattern.source);
        switch (found.lastCapturedIndex()) {
        case 0:
            return text;
        case 1:
            return text.arg(said(found.captured(1)));
        case 2:
            return text.arg(said(found.captured(1)), said(found.captured(2)));
        default:
            return text.arg(said(found.captured(1)), said(found.captured(2)), said(found.captured(3)));
        }
    }
    return part;
}

} // namespace

QString kept(Phrase phrase)
{
    return QString::fromLatin1(Sources[size_t(phrase)]);
}

QString said(const QString &keptText)
{
    QStringList parts = keptText.split(QLatin1String(Joint));
    for (QString &part : parts)
        part = saidPart(part);
    return parts.join(QCoreApplication::translate("Link::Phrases", Joint));
}

QStringList sources()
{
    QStringList all;
    for (const char *source : Sources)
        all << QString::fromLatin1(source);
    return all;
}

const char *joint()
{
    return Joint;
}

} // namespace Phrases
