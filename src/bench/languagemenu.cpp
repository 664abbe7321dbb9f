#include "languagemenu.h"

#include "benchlanguage.h"
#include "shell/translations.h"

#include <QActionGroup>
#include <QLocale>

namespace Bench {

LanguageMenu::LanguageMenu(QWidget *parent) : QMenu(tr("&Language"), parent), m_group(new QActionGroup(this))
{
    setObjectName(QStringLiteral("languageMenu"));
    const auto add = [this](const QString &text, const QString &language) {
        QAction *action = addAction(text);
        action->setData(language);
        action->setCheckable(true);
        action->setChecked(language == benchLanguage());
        m_group->addAction(action);
    };
    add(tr("System"), QString());
    addSeparator();
    add(QStringLiteral("English"), QStringLiteral("en"));
    for (const QString &language : Translations::available()) {
        // Chinese by its script, as its readers tell it apart: 简体中文.
        const QLocale locale(language);
        add(locale.script() == QLocale::SimplifiedHanScript ? QStringLiteral("简体中文") : locale.nativeLanguageName(),
            language);
    }
    connect(m_group, &QActionGroup::triggered, this, &LanguageMenu::choose);
}

void LanguageMenu::choose(QAction *action)
{
    const QString language = action->data().toString();
    if (language == benchLanguage())
        return;
    setBenchLanguage(language);
    emit chosen(tr("Velmora Bench speaks %1 from its next start").arg(action->text()));
}

} // namespace Bench
