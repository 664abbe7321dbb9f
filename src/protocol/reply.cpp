#include "reply.h"

#include "frame.h"
#include "parameterblock.h"

#include <QCoreApplication>

namespace Protocol {

namespace {

QString translated(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

Verdict judgeReply(const QByteArray &reply, int pending)
{
    Q_ASSERT(!reply.isEmpty());
    Verdict verdict;

    if (quint8(reply.at(0)) == AckByte) {
        if (const CommandInfo *command = infoForPending(pending))
            verdict.message = translated(command->successText);
        return verdict;
    }
    if (reply.size() <= MaxFailureReplySize) {
        verdict.message = translated(QT_TRANSLATE_NOOP("MainWindow", "Failed "));
        return verdict;
    }
    if (pending == info(Command::Read).pending && reply.size() >= ParameterBlock::Size) {
        verdict.report = readReport(ParameterBlock::fromBytes(reply));
        verdict.message = translated(info(Command::Read).successText);
    }
    return verdict;
}

} // namespace Protocol
