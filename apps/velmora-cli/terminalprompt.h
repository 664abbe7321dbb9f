// The questions of velmora-cli batch, on the terminal: one at a time on
// stderr, each answered by a line on stdin (Enter goes, s skips, q stops).
// stdin is read through the event loop (StdinReader), so every port goes on
// working while a question waits.
#pragma once

#include "batch/batchrun.h"

#include <QObject>

#include <deque>
#include <functional>
#include <memory>

class StdinReader;

class TerminalPrompt : public QObject
{
    Q_OBJECT

public:
    explicit TerminalPrompt(QObject *parent = nullptr);
    ~TerminalPrompt() override;

    // Batch::BatchRun::Ask: questions asked while one waits are queued.
    void ask(const QString &question, std::function<void(Batch::Answer)> answered);

private:
    struct Question
    {
        QString text;
        std::function<void(Batch::Answer)> answered;
    };

    void readInput(const QByteArray &bytes);
    void inputEnded();
    void showFirst();
    void answer(Batch::Answer answer);
    void stopAsking();

    std::deque<Question> m_questions;
    bool m_shown = false;  // the first question is on the screen
    std::unique_ptr<StdinReader> m_input;
    QByteArray m_typed;  // a line not ended yet
    bool m_ended = false;
};
