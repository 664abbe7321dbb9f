// View → Language: the system's language, English, or a language with a
// catalogue, each named in itself so that whoever reads it finds their own.
// The choice is remembered and taken up on the next start: the bench's texts
// are made once, with its widgets.
#pragma once

#include <QMenu>

class QActionGroup;

namespace Bench {

class LanguageMenu : public QMenu
{
    Q_OBJECT

public:
    explicit LanguageMenu(QWidget *parent = nullptr);

signals:
    // A language other than the one remembered was chosen: what to tell the person.
    void chosen(const QString &notice);

private:
    void choose(QAction *action);

    QActionGroup *m_group;
};

} // namespace Bench
