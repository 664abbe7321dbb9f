// What velmora-cli checks and decides without a line: values, profiles, and
// when the bytes of a reply make a whole reply.
#include "client/profile.h"
#include "client/replyassembler.h"
#include "client/values.h"

#include <QtTest>

using namespace Client;
using Verdict = ReplyAssembler::Verdict;

namespace {

// The bytes of the values in the order given, or the error.
QString outcome(bool ok, const ValueSet &values, const QString &error)
{
    if (!ok)
        return error;
    QByteArray bytes;
    for (const Value &value : values.values())
        bytes += value.bytes;
    return QString::fromLatin1(bytes.toHex());
}

} // namespace

class tst_CliValues : public QObject
{
    Q_OBJECT

private slots:
    void assignments_data()
    {
        QTest::addColumn<bool>("setAll");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("outcome");  // the values' bytes in hex, or the error

        const auto row = [](const char *name, bool setAll, const QStringList &arguments, const char *outcome) {
            QTest::newRow(name) << setAll << arguments << QString::fromUtf8(outcome);
        };
        row("address", false, {"lip=192.168.0.101"}, "c0a80065");
        row("blanks and leading zeros", false, {" gateway = 010.0.0.001 "}, "0a000001");
        row("mac with colons, mixed case", false, {"mac=00:1E:ce:00:79:01"}, "001ece007901");
        row("mac with dashes", false, {"mac=00-1e-ce-00-79-01"}, "001ece007901");
        row("numbers at their limits", false, {"port=65535", "t1=0", "sn=249"}, "ffff000000f9");
        row("mode and reserved for set-all", true, {"mode=255", "reserved=12-34"}, "ff1234");

        // Refusals; those that tst_cli shows end to end are not repeated here.
        row("three octets", false, {"lip=1.2.3"}, "lip=1.2.3: expected four numbers 0 to 255 joined by dots");
        row("empty octet", false, {"mask=255..255.0"}, "mask=255..255.0: expected four numbers 0 to 255 joined by dots");
        row("mixed separators", false, {"mac=00:1e-ce:00:79:01"},
            "mac=00:1e-ce:00:79:01: expected six hex pairs joined by ':' or '-'");
        row("not hex", false, {"mac=0g:1e:ce:00:79:01"}, "mac=0g:1e:ce:00:79:01: expected six hex pairs joined by ':' or '-'");
        row("port 65536", false, {"port=65536"}, "port=65536: expected a whole number from 0 to 65535");
        row("signed", false, {"t1=+5"}, "t1=+5: expected a whole number from 0 to 65535");
        row("empty", false, {"t1="}, "t1=: expected a whole number from 0 to 65535");
        row("reserved of three bytes", true, {"reserved=00:00:00"}, "reserved=00:00:00: expected two hex pairs joined by ':' or '-'");
    }

    void assignments()
    {
        QFETCH(bool, setAll);
        QFETCH(QStringList, arguments);
        QFETCH(QString, outcome);
        ValueSet values;
        QString error;
        const bool ok = parseAssignments(arguments, setAll ? Writer::SetAll : Writer::SingleCommands, &values, &error);
        QCOMPARE(::outcome(ok, values, error), outcome);
    }

    void profile_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("outcome");

        QTest::newRow("comments, blank lines, CRLF, byte-order mark")
            << QStringLiteral("\ufeff# bench 3\r\n\r\n  # indented\r\nport = 8900\r\nmode=2\r\n") << "22c402";
        QTest::newRow("only comments") << QStringLiteral("# nothing\n") << "";
        QTest::newRow("bad value") << QStringLiteral("lip = 1.2.3.4\n\nsn = 300")
                                   << "dev%1.conf:3: sn=300: expected a whole number from 0 to 249";
        QTest::newRow("unknown key")
            << QStringLiteral("ip = 1.2.3.4")
            << "dev%1.conf:1: ip=1.2.3.4: unknown key ip; the keys are lip mask sip port sn mac mode t1 reserved gateway";
        QTest::newRow("given twice") << QStringLiteral("port = 1\nport = 2\n") << "dev%1.conf:2: port is given twice";
    }

    void profile()
    {
        QFETCH(QString, text);
        QFETCH(QString, outcome);
        ValueSet values;
        QString error;
        // A file name is no format string: its "%1" stays as it is.
        const bool ok = parseProfile(text, QStringLiteral("dev%1.conf"), &values, &error);
        QCOMPARE(::outcome(ok, values, error), outcome);
    }

    void reassembly_data()
    {
        QTest::addColumn<bool>("read");        // awaiting a READ block, else an acknowledgement
        QTest::addColumn<QString>("arrivals");  // "ms:hex ...", the frame went out at 0, due within 1000 ms
        QTest::addColumn<int>("at");            // when to judge
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("nextChange");    // when a pending verdict would change

        const QByteArray block = QByteArray::fromHex("c0a80164ffffff00c0a801021f900005001b2c0a3d4f0100640000c0a80101");
        const QByteArray block30 = QByteArray(block).replace(0, 1, "0");
        const auto pieces = [](const QByteArray &bytes, const QList<int> &cuts) {
            QString text;
            int from = 0;
            for (int i = 0; i < cuts.size(); ++i) {
                text += QStringLiteral("%1:%2 ").arg(i + 1).arg(QString::fromLatin1(bytes.mid(from, cuts[i] - from).toHex()));
                from = cuts[i];
            }
            return text.trimmed();
        };
        const QByteArray none;
        const int quiet = int(ReplyAssembler::QuietGapMs);

        QTest::newRow("ack") << false << "1:30" << 1 << int(Verdict::Acknowledged) << QByteArray("0") << 0;
        QTest::newRow("ack, more in the same read") << false << "1:30ffff" << 1 << int(Verdict::Acknowledged) << QByteArray("0") << 0;
        QTest::newRow("ack, more later") << false << "1:30 2:31" << 2 << int(Verdict::Acknowledged) << QByteArray("0") << 0;
        QTest::newRow("refusal, line not quiet yet") << false << "1:3103" << quiet << int(Verdict::Pending) << none << 1 + quiet;
        QTest::newRow("refusal once quiet") << false << "1:3103" << 1 + quiet << int(Verdict::Refused) << QByteArray("\x31\x03") << 0;
        QTest::newRow("refusal in two pieces") << false << "1:31 15:03" << 15 + quiet << int(Verdict::Refused)
                                               << QByteArray("\x31\x03") << 0;
        QTest::newRow("bytes after the gap are not the refusal's")
            << false << "1:31 40:03" << 50 << int(Verdict::Refused) << QByteArray("\x31") << 0;
        QTest::newRow("nothing yet") << false << "" << 999 << int(Verdict::Pending) << none << 1000;
        QTest::newRow("nothing at the deadline") << false << "" << 1000 << int(Verdict::NoAnswer) << none << 1000;
        QTest::newRow("too late for the deadline") << false << "1000:30" << 1000 << int(Verdict::NoAnswer) << none << 1000;
        QTest::newRow("block in three reads") << true << pieces(block, {11, 22, 31}) << 3 << int(Verdict::Block) << block << 0;
        QTest::newRow("block, one short") << true << pieces(block, {11, 30}) << 999 << int(Verdict::Pending) << none << 1000;
        QTest::newRow("block beginning with 0x30") << true << pieces(block30, {1, 31}) << 2 << int(Verdict::Block) << block30 << 0;
        QTest::newRow("block and more") << true << "1:" + QString::fromLatin1((block + block).toHex()) << 1
                                        << int(Verdict::Block) << block << 0;
        QTest::newRow("short answer to READ is a refusal")
            << true << "1:310c" << 1000 << int(Verdict::Refused) << QByteArray("\x31\x0c") << 0;
        QTest::newRow("lone 0x30 to READ is a refusal") << true << "1:30" << 1000 << int(Verdict::Refused) << QByteArray("0") << 0;
    }

    void reassembly()
    {
        QFETCH(bool, read);
        QFETCH(QString, arrivals);
        QFETCH(int, at);
        QFETCH(int, verdict);
        QFETCH(QByteArray, bytes);
        QFETCH(int, nextChange);

        ReplyAssembler assembler;
        assembler.start(read ? ReplyAssembler::Awaiting::Block : ReplyAssembler::Awaiting::Acknowledgement, 0, 1000);
        for (const QString &arrival : arrivals.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QStringList parts = arrival.split(QLatin1Char(':'));
            assembler.feed(QByteArray::fromHex(parts[1].toLatin1()), parts[0].toInt());
        }
        const Verdict judged = assembler.verdict(at);
        QCOMPARE(int(judged.kind), verdict);
        QCOMPARE(judged.bytes.toHex(), bytes.toHex());
        if (judged.kind == Verdict::Pending)
            QCOMPARE(assembler.nextChangeMs(), qint64(nextChange));
    }
};

QTEST_APPLESS_MAIN(tst_CliValues)
#include "tst_cli_values.moc"
