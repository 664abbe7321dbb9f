// The catalogue of a program's texts for the language its user reads: the
// system's (LC_ALL, LC_MESSAGES, LANG; the Windows user's UI language) or one
// chosen. The catalogues are carried in the program's resources, so a program
// needs nothing installed beside it. What a program or a file reads back is
// never translated; only the texts people read go through a catalogue.
#pragma once

#include <QString>
#include <QStringList>

namespace Translations {

// The languages with a catalogue, as locale names ("zh_CN"); English, the
// texts as written, needs none.
QStringList available();

// Installs into the application the catalogue of `language` ("zh_CN", "en"),
// or of the system's language where it is empty, with Qt's own catalogue of
// that language where the system has it. A language without a catalogue, and
// the C locale, leave the texts in English. Returns the language installed:
// "en" for English. Call it once, after the application is made.
QString install(const QString &language = {});

} // namespace Translations
