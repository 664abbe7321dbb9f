// What velmora-cli checks and decides without a line: values, profiles, and
// when the bytes of a reply make a whole reply.
#include "client/profile.h"
#include "client/replyassembler.h"
#include "client/values.h"

#include <QtTest>

using namespace Client;
using Verdict = ReplyAssembler::Verdict;

class tst_CliValues : public QObject
{
    Q_OBJECT

private slots:
    // Values as set and set-all take them, as arguments, and as a profile file.
    void values_data()
    {
        QTest::addColumn<QString>("reader");   // "set", "set-all" or "profile"
        QTest::addColumn<QString>("text");     // the arguments one a line, or the file
        QTest::addColumn<QString>("outcome");  // the values' bytes in hex, or the error

        const auto row = [](const char *name, const char *reader, const QString &text, const char *outcome) {
            QTest::newRow(name) << QString::fromLatin1(reader) << text << QString::fromUtf8(outcome);
        };
        row("blanks and leading zeros", "set", " gateway = 010.0.0.001 ", "0a000001");
        row("mac with colons, mixed case", "set", "mac=00:1E:ce:00:79:01", "001ece007901");
        row("numbers at their limits", "set", "port=65535\nt1=0\nsn=249", "ffff000000f9");
        row("mode and reserved for set-all", "set-all", "mode=255\nreserved=12-34", "ff1234");
        row("profile: comments, blank lines, CRLF, byte-order mark", "profile",
            QStringLiteral("\ufeff# bench 3\r\n\r\n  # indented\r\nport = 8900\r\nmode=2\r\n"), "22c402");
        row("profile: only comments", "profile", "# nothing\n", "");

        // Refusals; those that tst_cli shows end to end are not repeated here.
        row("three octets", "set", "lip=1.2.3", "lip=1.2.3: expected four numbers 0 to 255 joined by dots");
        row("empty octet", "set", "mask=255..255.0", "mask=255..255.0: expected four numbers 0 to 255 joined by dots");
        row("mixed separators", "set", "mac=00:1e-ce:00:79:01",
            "mac=00:1e-ce:00:79:01: expected six hex pairs joined by ':' or '-'");
        row("not hex", "set", "mac=0g:1e:ce:00:79:01", "mac=0g:1e:ce:00:79:01: expected six hex pairs joined by ':' or '-'");
        row("port 65536", "set", "port=65536", "port=65536: expected a whole number from 0 to 65535");
        row("signed", "set", "t1=+5", "t1=+5: expected a whole number from 0 to 65535");
        row("empty", "set", "t1=", "t1=: empty; expected a whole number from 0 to 65535");
        row("reserved of three bytes", "set-all", "reserved=00:00:00",
            "reserved=00:00:00: expected two hex pairs joined by ':' or '-'");
        // The profile's name has a "%1" in it, which must stay as it is.
        row("profile: bad value", "profile", "lip = 1.2.3.4\n\nsn = 300",
            "dev%1.conf:3: sn=300: expected a whole number from 0 to 249");
        row("profile: unknown key", "profile", "ip = 1.2.3.4",
            "dev%1.conf:1: ip=1.2.3.4: unknown key ip; the keys are lip mask sip port sn mac mode t1 reserved gateway");
        row("profile: given twice", "profile", "port = 1\nport = 2\n", "dev%1.conf:2: port is given twice");
        // An error is one line, whatever line breaks the value holds.
        row("profile: lines ended by CR alone", "profile", "port = 1\rsn = 2\r",
            "dev%1.conf:1: port=1\\rsn = 2: expected a whole number from 0 to 65535");

        // A long value is quoted up to 60 characters as a reader counts them:
        // never half a surrogate pair, nor a letter without its accent.
        const auto times = [](const QString &text, int count) { return text.repeated(count); };
        const QString emoji = QStringLiteral("\U0001F642"), accented = QStringLiteral("e\u0301");
        const QString more = QStringLiteral("\u2026"), notAnAddress = QStringLiteral(": expected four numbers 0 to 255 joined by dots");
        QTest::newRow("quoted: emoji at the cut") << QStringLiteral("set") << "lip=" + times(emoji, 70)
            << "lip=" + times(emoji, 56) + more + notAnAddress;
        QTest::newRow("quoted: combining accents at the cut") << QStringLiteral("set") << "lip=1" + times(accented, 70)
            << "lip=1" + times(accented, 55) + more + notAnAddress;
        // Right-to-left text as it is; the override that would turn the line around, escaped.
        QTest::newRow("quoted: right-to-left, profile") << QStringLiteral("profile")
            << QStringLiteral("sip = \u202e") + times(QStringLiteral("\u05e9\u05dc\u05d5\u05dd"), 20)
            << "dev%1.conf:1: sip=\\u202e" + times(QStringLiteral("\u05e9\u05dc\u05d5\u05dd"), 13) + QStringLiteral("\u05e9\u05dc\u05d5") + more
                   + notAnAddress;
        QTest::newRow("quoted: a lone surrogate, escaped") << QStringLiteral("set") << QStringLiteral("t1=") + QChar(0xd83d)
            << QStringLiteral("t1=\\ud83d: expected a whole number from 0 to 65535");
    }

    void values()
    {
        QFETCH(QString, reader);
        QFETCH(QString, text);
        QFETCH(QString, outcome);
        ValueSet values;
        QString error;
        const bool ok = reader == QLatin1String("profile")
            ? parseProfile(text, QStringLiteral("dev%1.conf"), &values, &error)
            : parseAssignments(text.split(QLatin1Char('\n')),
                               reader == QLatin1String("set-all") ? Writer::SetAll : Writer::SingleCommands, &values, &error);
        QByteArray bytes;
        for (const Value &value : values.values())
            bytes += value.bytes;
        QCOMPARE(ok ? QString::fromLatin1(bytes.toHex()) : error, outcome);
    }

    void reassembly_data()
    {
        QTest::addColumn<QString>("awaiting");  // "ack", "block", or "strict": a block to be written back
        QTest::addColumn<QString>("arrivals");  // "ms:hex ...", the frame went out at 0, due within 1000 ms
        QTest::addColumn<int>("at");            // when to judge
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("nextChange");    // when a pending verdict would change

        const QByteArray block = QByteArray::fromHex("c0a80164ffffff00c0a801021f900005001b2c0a3d4f0100640000c0a80101");
        const QByteArray block30 = QByteArray(block).replace(0, 1, "0");
        const QByteArray sn300 = QByteArray(block).replace(14, 2, QByteArray::fromHex("012c"));
        const QString ack = QStringLiteral("ack"), read = QStringLiteral("block"), strict = QStringLiteral("strict");
        const auto twoReads = [](const QByteArray &bytes, int cut) {  // at 1 and 2 ms
            return QStringLiteral("1:%1 2:%2")
                .arg(QString::fromLatin1(bytes.left(cut).toHex()), QString::fromLatin1(bytes.mid(cut).toHex()));
        };
        const QByteArray none;
        const int quiet = int(ReplyAssembler::QuietGapMs);

        QTest::newRow("ack") << ack << "1:30" << 1 << int(Verdict::Acknowledged) << QByteArray("0") << 0;
        QTest::newRow("ack, more in the same read") << ack << "1:30ffff" << 1 << int(Verdict::Acknowledged) << QByteArray("0") << 0;
        QTest::newRow("ack, more later") << ack << "1:30 2:31" << 2 << int(Verdict::Acknowledged) << QByteArray("0") << 0;
        QTest::newRow("refusal, line not quiet yet") << ack << "1:3103" << quiet << int(Verdict::Pending) << none << 1 + quiet;
        QTest::newRow("refusal once quiet") << ack << "1:3103" << 1 + quiet << int(Verdict::Refused) << QByteArray("\x31\x03") << 0;
        QTest::newRow("refusal in two pieces") << ack << "1:31 15:03" << 15 + quiet << int(Verdict::Refused)
                                               << QByteArray("\x31\x03") << 0;
        QTest::newRow("bytes after the gap are not the refusal's")
            << ack << "1:31 40:03" << 50 << int(Verdict::Refused) << QByteArray("\x31") << 0;
        const QByteArray noise(ReplyAssembler::MaxRefusalSize, '\x31');
        QTest::newRow("more than a refusal has: garbled, its first 64 bytes kept")
            << ack << "1:" + QString::fromLatin1((noise + "\x03").toHex()) << 1 << int(Verdict::Garbled) << noise << 0;
        QTest::newRow("six bytes: garbled") << ack << "1:3103 2:03040506" << 2 << int(Verdict::Garbled)
                                            << QByteArray::fromHex("310303040506") << 0;
        QTest::newRow("nothing yet") << ack << "" << 999 << int(Verdict::Pending) << none << 1000;
        QTest::newRow("nothing at the deadline") << ack << "" << 1000 << int(Verdict::NoAnswer) << none << 1000;
        QTest::newRow("too late for the deadline") << ack << "1000:30" << 1000 << int(Verdict::NoAnswer) << none << 1000;
        QTest::newRow("block in two reads") << read << twoReads(block, 11) << 2 << int(Verdict::Block) << block << 0;
        QTest::newRow("block, one short") << read << twoReads(block.left(30), 11) << 999 << int(Verdict::Pending) << none << 1000;
        QTest::newRow("block beginning with 0x30") << read << twoReads(block30, 1) << 2 << int(Verdict::Block) << block30 << 0;
        QTest::newRow("block and more: read out of place") << read << "1:" + QString::fromLatin1((block + block).toHex()) << 1
                                                           << int(Verdict::Garbled) << block << 0;
        QTest::newRow("block, a byte later: not waited for") << read << "1:" + QString::fromLatin1(block.toHex()) + " 5:30" << 5
                                                             << int(Verdict::Block) << block << 0;
        const QString oneBlock = "1:" + QString::fromLatin1(block.toHex());
        QTest::newRow("strict block, line not quiet yet") << strict << oneBlock << quiet << int(Verdict::Pending) << none << 1 + quiet;
        QTest::newRow("strict block once quiet") << strict << oneBlock << 1 + quiet << int(Verdict::Block) << block << 0;
        QTest::newRow("strict block, a byte after it") << strict << oneBlock + " 5:30" << 5 << int(Verdict::Garbled) << block << 0;
        QTest::newRow("strict block of an SN no device has") << strict << "1:" + QString::fromLatin1(sn300.toHex()) << 1
                                                             << int(Verdict::Garbled) << sn300 << 0;
        QTest::newRow("strict block waits no longer than the deadline")
            << strict << "995:" + QString::fromLatin1(block.toHex()) << 1000 << int(Verdict::Block) << block << 0;
        QTest::newRow("short answer to READ is a refusal")
            << read << "1:310c" << 1000 << int(Verdict::Refused) << QByteArray("\x31\x0c") << 0;
        QTest::newRow("lone 0x30 to READ is a late acknowledgement") << read << "1:30" << 1000 << int(Verdict::Garbled)
                                                                     << QByteArray("0") << 0;
    }

    void reassembly()
    {
        QFETCH(QString, awaiting);
        QFETCH(QString, arrivals);
        QFETCH(int, at);
        QFETCH(int, verdict);
        QFETCH(QByteArray, bytes);
        QFETCH(int, nextChange);

        ReplyAssembler assembler;
        assembler.start(awaiting == QLatin1String("ack") ? ReplyAssembler::Awaiting::Acknowledgement
                                                         : ReplyAssembler::Awaiting::Block,
                        0, 1000, awaiting == QLatin1String("strict") ? ReplyAssembler::Check::Strict
                                                                     : ReplyAssembler::Check::Plain);
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
