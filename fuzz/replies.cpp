// One poll's bytes judged by the window against an arbitrary pending-command
// code. Checked beyond "no crash":
// - after a poll that read anything nothing is pending; an empty poll changes nothing;
// - the status bar shows the success text of the pending command, "Failed " or
//   nothing, by byte 0 and length alone;
// - a READ report appears exactly for a READ data block, and read back it
//   gives the block's first 31 bytes, whatever follows them.
//
// Input: byte 0 is the pending-command code (signed), the rest is the reply.
#include "property.h"

#include "protocol/frame.h"
#include "protocol/parameterblock.h"
#include "protocol/reply.h"
#include "window/mainwindow.h"

#include <QApplication>
#include <QStatusBar>
#include <QStringList>
#include <QTextEdit>

namespace {

MainWindow *window;
QStatusBar *statusBar;
QTextEdit *reportBox;

constexpr int ReadPending = 12;

// The report read back into the block it came from; offsets 25 and 26 are not shown.
QByteArray readBack(const QString &report)
{
    const QStringList lines = report.split(QStringLiteral("\r\n"));
    const QStringList labels = {QStringLiteral("LIP:"),  QStringLiteral("MASK:"), QStringLiteral("SIP:"),
                                QStringLiteral("MAC:"),  QStringLiteral("PORT:"), QStringLiteral("SN:"),
                                QStringLiteral("MODE:"), QStringLiteral("T1:"),   QStringLiteral("GATE:")};
    VELMORA_REQUIRE(lines.size() == labels.size());
    QList<QStringList> values;
    for (int i = 0; i < lines.size(); ++i) {
        VELMORA_REQUIRE(lines[i].startsWith(labels[i]));
        values << lines[i].mid(labels[i].size()).split(QLatin1Char('.'));
    }
    QByteArray block;
    const auto octets = [&](int line, int count, int base) {
        VELMORA_REQUIRE(values[line].size() == count);
        for (const QString &text : values[line]) {
            bool ok = false;
            const uint octet = text.toUInt(&ok, base);
            VELMORA_REQUIRE(ok && octet <= 0xFF && text == QString::number(octet, base));
            block += char(octet);
        }
    };
    const auto word = [&](int line, int bytes) {
        VELMORA_REQUIRE(values[line].size() == 1);
        bool ok = false;
        const uint number = values[line][0].toUInt(&ok);
        VELMORA_REQUIRE(ok && number < (1u << (8 * bytes)) && values[line][0] == QString::number(number));
        for (int i = bytes - 1; i >= 0; --i)
            block += char(number >> (8 * i));
    };
    octets(0, 4, 10);  // LIP
    octets(1, 4, 10);  // MASK
    octets(2, 4, 10);  // SIP
    word(4, 2);        // PORT
    word(5, 2);        // SN
    octets(3, 6, 16);  // MAC
    word(6, 1);        // MODE
    word(7, 2);        // T1
    block += QByteArray(2, '\0');
    octets(8, 4, 10);  // GATE
    return block;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_replies";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv);
    window = new MainWindow;
    statusBar = window->findChild<QStatusBar *>(QStringLiteral("Status_temp"));
    reportBox = window->findChild<QTextEdit *>(QStringLiteral("READ_Edit"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int pending = int8_t(data[0]);
    const QByteArray reply(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));

    const QString before = QStringLiteral("before");
    statusBar->showMessage(before);
    reportBox->setPlainText(before);
    status = pending;
    window->Return_temp = reply;
    window->decision_Fun();

    if (reply.isEmpty()) {
        VELMORA_REQUIRE(status == pending);
        VELMORA_REQUIRE(statusBar->currentMessage() == before && reportBox->toPlainText() == before);
        return 0;
    }
    VELMORA_REQUIRE(status == 0);

    const bool ack = quint8(reply.at(0)) == Protocol::AckByte;
    const bool block = !ack && pending == ReadPending && reply.size() >= Protocol::ParameterBlock::Size;
    const Protocol::CommandInfo *command = Protocol::infoForPending(pending);
    QString message = before;
    if (ack && command)
        message = QCoreApplication::translate("MainWindow", command->successText);
    else if (!ack && reply.size() <= Protocol::MaxFailureReplySize)
        message = QStringLiteral("Failed ");
    else if (block)
        message = QStringLiteral("READ Success");
    VELMORA_REQUIRE(statusBar->currentMessage() == message);

    const Protocol::Verdict verdict = Protocol::judgeReply(reply, pending);
    VELMORA_REQUIRE(verdict.report.has_value() == block);
    if (block) {
        QByteArray expected = reply.left(Protocol::ParameterBlock::Size);
        expected.replace(25, 2, QByteArray(2, '\0'));
        VELMORA_REQUIRE(readBack(*verdict.report) == expected);
        const QString shown = QString(*verdict.report).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        VELMORA_REQUIRE(reportBox->toPlainText() == shown);
    } else {
        VELMORA_REQUIRE(reportBox->toPlainText() == before);
    }
    return 0;
}
