#include "terminalprompt.h"

#include "run.h"
#include "stdinreader.h"

#include <cstdio>

using Batch::Answer;

TerminalPrompt::TerminalPrompt(QObject *parent) : QObject(parent) {}

TerminalPrompt::~TerminalPrompt() = default;

void TerminalPrompt::ask(const QString &question, std::function<void(Answer)> answered)
{
    if (!m_input) {
        m_input = std::make_unique<StdinReader>();
        connect(m_input.get(), &StdinReader::received, this, &TerminalPrompt::readInput);
        connect(m_input.get(), &StdinReader::ended, this, &TerminalPrompt::inputEnded);
        m_input->start();
    }
    m_questions.push_back({question, std::move(answered)});
    showFirst();
    if (m_ended)  // nobody can answer any more
        QMetaObject::invokeMethod(this, &TerminalPrompt::stopAsking, Qt::QueuedConnection);
}

void TerminalPrompt::showFirst()
{
    if (m_shown || m_questions.empty())
        return;
    m_shown = true;
    std::fprintf(stderr, "%s\n", m_questions.front().text.toLocal8Bit().constData());
    std::fflush(stderr);
}

void TerminalPrompt::inputEnded()
{
    m_ended = true;
    stopAsking();
}

void TerminalPrompt::readInput(const QByteArray &bytes)
{
    m_typed.append(bytes);
    for (qsizetype end; (end = m_typed.indexOf('\n')) >= 0;) {
        const QByteArray line = m_typed.left(end).trimmed().toLower();
        m_typed.remove(0, end + 1);
        if (m_questions.empty())
            continue;  // typed ahead of any question: no device is connected for it
        if (line.isEmpty() || line == "s" || line == "q") {
            answer(line.isEmpty() ? Answer::Go : line == "s" ? Answer::Skip : Answer::Stop);
        } else {
            printError(tr("answer Enter, s or q"));
            m_shown = false;
            showFirst();
        }
    }
}

void TerminalPrompt::stopAsking()
{
    if (m_questions.empty())
        return;
    printError(tr("stdin has ended: stopping"));
    answer(Answer::Stop);
}

void TerminalPrompt::answer(Answer answer)
{
    Question question = std::move(m_questions.front());
    m_questions.pop_front();
    m_shown = false;
    if (answer == Answer::Stop)
        m_questions.clear();  // asked of ports that stop now
    question.answered(answer);  // may ask the next question
    showFirst();
}
