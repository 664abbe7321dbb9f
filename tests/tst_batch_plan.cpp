// What velmora-cli batch decides before a device is touched: the plan that
// plan prints, plan files as people and spreadsheets write them, and the log
// a run resumes from.
#include "batch/batchlog.h"
#include "batch/plan.h"
#include "batch/plangenerator.h"
#include "files.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Batch;
using namespace Qt::StringLiterals;

namespace {

// "1 A-1 lip=10.0.0.1 sn=1|2 ...": a plan's rows, numbered, with their ids and values.
QString dump(const Plan &plan)
{
    QStringList rows;
    for (const PlanRow &row : plan.rows) {
        QStringList values;
        for (const Client::Value &value : row.values.values())
            values << QLatin1String(value.field->key) + QLatin1Char('=') + Client::valueText(*value.field, value.bytes);
        values.sort();
        const QString id = row.id.isEmpty() ? QString() : row.id + QLatin1Char(' ');
        rows << QStringLiteral("%1 %2%3").arg(row.number).arg(id, values.join(QLatin1Char(' ')));
    }
    return rows.join(QLatin1Char('|'));
}

Plan readOrFail(const QByteArray &text, const PlanChecks &checks, QString *errors)
{
    Plan plan;
    QStringList lines;
    if (!readPlan(text, QStringLiteral("plan.csv"), checks, &plan, &lines))
        *errors = lines.join(QLatin1Char('\n'));
    return plan;
}

// A line of a log of the plan id,lip,sn, without read-back.
QByteArray logLine(int row, const char *result, int sn)
{
    return QStringLiteral("2026-01-02T03:04:05.678Z,%1,A-%1,/dev/ttyUSB0,%2,,10.0.0.%1,%3,,,,,,,,,,\n")
        .arg(row).arg(QLatin1String(result)).arg(sn).toUtf8();
}

const QByteArray LogHeader = "time,row,id,line,result,detail,lip,sn,read_lip,read_mask,read_sip,read_port,read_sn,"
                             "read_mac,read_mode,read_t1,read_reserved,read_gateway\n";

} // namespace

class tst_BatchPlan : public QObject
{
    Q_OBJECT

private slots:
    void generate_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("fixed");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("outcome");  // the CSV, or the error

        const auto row = [](const char *name, const QStringList &arguments, const QStringList &fixed, int count,
                            const char *outcome) {
            QTest::newRow(name) << arguments << fixed << count << QString::fromUtf8(outcome);
        };
        row("address carries into the octets before it", {"lip=192.168.0.254"}, {}, 3,
            "lip\n192.168.0.254\n192.168.0.255\n192.168.1.0\n");
        row("mac counts as one number", {"mac=00:1E:ce:00:ff:ff"}, {}, 2, "mac\n00:1e:ce:00:ff:ff\n00:1e:ce:01:00:00\n");
        row("numbers step, fixed keys repeat, columns in the order given",
            {"sn=248", "mask=255.255.255.0", "port=65534", "t1=0", "gateway=10.0.0.1"}, {"mask", "gateway"}, 2,
            "sn,mask,port,t1,gateway\n248,255.255.255.0,65534,0,10.0.0.1\n249,255.255.255.0,65535,1,10.0.0.1\n");
        row("id counts up and keeps its zeros", {"id=A-099", "sn=1"}, {}, 2, "id,sn\nA-099,1\nA-100,2\n");
        row("fixed id, quoted", {"id=bench, 3", "sn=1"}, {"id"}, 2, "id,sn\n\"bench, 3\",1\n\"bench, 3\",2\n");
        row("one row steps nothing", {"sn=249"}, {}, 1, "sn\n249\n");

        row("sn past 249", {"sn=200"}, {}, 60, "sn=200: row 51 would step past 249");
        row("address past the top", {"lip=255.255.255.254"}, {}, 3, "lip=255.255.255.254: row 3 would step past 255.255.255.255");
        row("mac past the top", {"mac=ff:ff:ff:ff:ff:ff"}, {}, 2, "mac=ff:ff:ff:ff:ff:ff: row 2 would step past ff:ff:ff:ff:ff:ff");
        row("a bad value", {"port=65536"}, {}, 2, "port=65536: expected a whole number from 0 to 65535");
        row("fixed key not given", {"sn=1"}, {"mask"}, 2, "--fixed mask: no mask=VALUE is given");
        row("id without a number", {"id=bench", "sn=1"}, {}, 2,
            "id=bench: an id that is not fixed ends in a number to count up, like A-01");
        row("key given twice", {"sn=1", "sn=2"}, {}, 2, "sn=2: sn is given twice");
    }

    void generate()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, fixed);
        QFETCH(int, count);
        QFETCH(QString, outcome);
        QString csv;
        QString error;
        const bool ok = generatePlan(arguments, fixed, count, &csv, &error);
        QCOMPARE(ok ? csv : error, outcome);
        QCOMPARE(csv.isEmpty(), !ok);
    }

    void read_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("allow");  // "duplicates", "odd addresses"
        QTest::addColumn<QString>("outcome");  // the rows read, or the errors

        // As people and spreadsheets write them: two devices, the first id holds a separator and quotes.
        const QString twoDevices = u"1 A \"1\", left lip=10.0.0.1 sn=1|2 B-2 lip=10.0.0.2 sn=2"_s;
        QTest::newRow("commas, LF") << QByteArray("id,lip,sn\n\"A \"\"1\"\", left\",10.0.0.1,1\nB-2,10.0.0.2,2\n")
                                    << QString() << twoDevices;
        QTest::newRow("semicolons, CRLF, byte-order mark, every field quoted")
            << QByteArray("\xef\xbb\xbf\"id\";\"lip\";\"sn\"\r\n\"A \"\"1\"\", left\";\"10.0.0.1\";\"1\"\r\n"
                          "\"B-2\";\"10.0.0.2\";\"2\"\r\n") << QString() << twoDevices;
        QTest::newRow("blank rows, blanks around values, CR, no last line end")
            << QByteArray("id;lip;sn\r\r;;\r\"A \"\"1\"\", left\"; 10.0.0.1 ;1\r;;\rB-2;10.0.0.2;2") << QString() << twoDevices;

        const QString columns = QStringLiteral("the first line names the columns: id lip mask sip port sn mac mode t1 reserved gateway");
        const auto row = [](const char *name, const char *text, const QString &outcome, const char *allow = "") {
            QTest::newRow(name) << QByteArray(text) << QString::fromLatin1(allow) << outcome;
        };
        row("bad value", "lip,sn\n10.0.0.1,1\n10.0.0.2,300\n", "plan.csv:3:10: sn=300: expected a whole number from 0 to 249");
        row("every error at once", "lip,sn\n10.0.0,1\n\n10.0.0.2,-1\n",
            "plan.csv:2:1: lip=10.0.0: expected four numbers 0 to 255 joined by dots\n"
            "plan.csv:4:10: sn=-1: expected a whole number from 0 to 249");
        row("unknown column", "lip,speed\n", "plan.csv:1:5: speed: not a column name; " + columns);
        row("no header", "10.0.0.1,5\n", "plan.csv:1:1: 10.0.0.1: not a column name; " + columns + "\n"
                                         "plan.csv:1:10: 5: not a column name; " + columns);
        row("column twice", "lip,sn,lip\n", "plan.csv:1:8: lip is given twice");
        row("only an id", "id\nA-1\n", "plan.csv:1:1: no value to write: the columns are id lip mask sip port sn mac mode t1 reserved gateway");
        row("empty", "\xef\xbb\xbf\n\n", "plan.csv: empty; its first line names the columns: id lip mask sip port sn mac mode t1 reserved gateway");
        row("no rows", "lip\n", "plan.csv:1:1: no rows after the header");
        row("too many fields", "lip,sn\n10.0.0.1,5,7\n", "plan.csv:2:12: columns: 2 in the header, 3 here");
        row("too few fields", "lip,sn\n10.0.0.1\n", "plan.csv:2:9: columns: 2 in the header, 1 here");
        row("quote never closed", "lip,sn\n\"10.0.0.1,5\n", "plan.csv:2:1: the quote opened here is never closed");
        row("text after a closing quote", "lip;sn\n\"10.0.0.1\"x;5\n",
            "plan.csv:2:11: expected ';' or the end of the line after a closing quote");
        row("not UTF-8, column in characters", "id,lip\n\xc3\xa9,10.0.0.1\n\xff,10.0.0.2\n", "plan.csv:3:1: not UTF-8 text");
        row("line break in an id", "id,lip\n\"A\nB\",10.0.0.1\n", "plan.csv:2:1: id A\\nB: a line break or control character");
        // Every row for every rule: a bad value does not hide a duplicate or an odd gateway elsewhere.
        row("every kind of error at once", "lip,mask,gateway\n10.0.0.1,255.255.255.0,10.0.0.9\n10.0.0.x,255.255.255.0,10.0.0.9\n"
            "10.0.0.1,255.255.255.0,10.0.0.9\n10.0.0.2,255.255.255.0,10.0.1.1\n",
            "plan.csv:3:1: lip=10.0.0.x: expected four numbers 0 to 255 joined by dots\n"
            "plan.csv:4:1: lip=10.0.0.1: also on line 2 (--allow-duplicates allows it)\n"
            "plan.csv:5:24: gateway=10.0.1.1: outside 10.0.0.0/24, the subnet of lip and mask (--allow-odd-addresses allows it)");
        QByteArray many = "sn\n";
        QString firstErrors;
        for (int line = 2; line <= 22; ++line) {
            many += "300\n";
            if (line <= 21)
                firstErrors += u"plan.csv:%1:1: sn=300: expected a whole number from 0 to 249\n"_s.arg(line);
        }
        QTest::newRow("errors past the first 20 counted by kind") << many + "1\n1\n" << QString()
            << firstErrors + u"plan.csv: 2 more errors: 1 bad values, 1 duplicates"_s;
        row("tab-separated", "id\tlip\nA-1\t10.0.0.1\n",
            "plan.csv:1:1: columns are separated by commas or semicolons, not tabs; " + columns);
        row("empty value", "lip,sn\n10.0.0.1,\n", "plan.csv:2:10: sn=: empty; expected a whole number from 0 to 249");
        QTest::newRow("control characters shown escaped") << QByteArray("lip\n10.0.0.5\0\x1b\n", 15) << QString()
            << u"plan.csv:2:1: lip=10.0.0.5\\0\\u001b: expected four numbers 0 to 255 joined by dots"_s;
        row("a long value quoted in part", ("sn\n" + QByteArray(300, '7') + "\n").constData(),
            "plan.csv:2:1: sn=" + QString(57, u'7') + u"\u2026: longer than 256 characters"_s);
        row("a long id", ("id,sn\n" + QByteArray(65, 'A') + ",1\n").constData(),
            "plan.csv:2:1: id " + QString(60, u'A') + u"\u2026: longer than 64 characters"_s);
        const QString emoji = u"\U0001F642"_s;  // two UTF-16 units, quoted whole
        row("a long id of emoji", ("id,sn\n" + emoji.repeated(70).toUtf8() + ",1\n").constData(),
            "plan.csv:2:1: id " + emoji.repeated(60) + u"\u2026: longer than 64 characters"_s);
        row("same lip", "lip\n10.0.0.1\n10.0.0.2\n10.0.0.1\n",
            "plan.csv:4:1: lip=10.0.0.1: also on line 2 (--allow-duplicates allows it)");
        row("same mac written otherwise", "sn,mac\n1,00:1e:ce:00:00:01\n2,00-1E-CE-00-00-01\n",
            "plan.csv:3:3: mac=00-1E-CE-00-00-01: also on line 2 (--allow-duplicates allows it)");
        row("same lip allowed", "lip\n10.0.0.1\n10.0.0.1\n", "1 lip=10.0.0.1|2 lip=10.0.0.1", "duplicates");
        row("network address", "lip,mask\n10.0.1.0,255.255.255.0\n",
            "plan.csv:2:1: lip=10.0.1.0: the network address of 10.0.1.0/24 (--allow-odd-addresses allows it)");
        row("broadcast address", "mask,lip\n255.255.0.0,10.0.255.255\n",
            "plan.csv:2:13: lip=10.0.255.255: the broadcast address of 10.0.0.0/16 (--allow-odd-addresses allows it)");
        row("gateway outside the subnet", "lip,mask,gateway\n10.0.0.5,255.255.255.0,10.0.1.1\n",
            "plan.csv:2:24: gateway=10.0.1.1: outside 10.0.0.0/24, the subnet of lip and mask (--allow-odd-addresses allows it)");
        row("mask with gaps", "lip,mask\n10.0.0.5,255.0.255.0\n",
            "plan.csv:2:10: mask=255.0.255.0: not a subnet mask, its ones must come first (--allow-odd-addresses allows it)");
        row("both ends of a /31 are hosts", "lip,mask\n10.0.0.0,255.255.255.254\n10.0.0.1,255.255.255.254\n",
            "1 lip=10.0.0.0 mask=255.255.255.254|2 lip=10.0.0.1 mask=255.255.255.254");
        row("odd addresses allowed", "lip,mask,gateway\n10.0.0.0,255.0.255.0,1.1.1.1\n",
            "1 gateway=1.1.1.1 lip=10.0.0.0 mask=255.0.255.0", "odd addresses");
    }

    void read()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, allow);
        QFETCH(QString, outcome);
        PlanChecks checks;
        checks.allowDuplicates = allow == QLatin1String("duplicates");
        checks.allowOddAddresses = allow == QLatin1String("odd addresses");
        QString errors;
        const Plan plan = readOrFail(text, checks, &errors);
        QCOMPARE(errors.isEmpty() ? dump(plan) : errors, outcome);
    }

    void log_data()
    {
        QTest::addColumn<QByteArray>("text");  // of the log before the run
        QTest::addColumn<QString>("outcome");  // the rows recorded as ok, or the error

        QTest::newRow("empty file") << QByteArray() << "";
        // Which rows a log records as ok, tst_batch's resumed runs show.
        QTest::newRow("a line cut off by a crash")
            << LogHeader + logLine(1, "ok", 1) + logLine(3, "ok", 3).left(40) << "1";
        QTest::newRow("a plan that changed") << LogHeader + logLine(1, "ok", 1) + logLine(2, "ok", 7)
                                             << "log.csv:3: row 2 (A-2) was provisioned with sn=7, the plan now has "
                                                "sn=2; a plan that changed needs a new log";
        QTest::newRow("a row the plan does not have")
            << LogHeader + logLine(4, "mismatch", 4) << "log.csv:2: row 4: the plan has rows 1 to 3";
    }

    void log()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, outcome);
        QString errors;
        const Plan plan = readOrFail("id,lip,sn\nA-1,10.0.0.1,1\nA-2,10.0.0.2,2\nA-3,10.0.0.3,3\n", {}, &errors);
        QVERIFY(errors.isEmpty());
        QTemporaryDir folder;
        const QString fileName = folder.filePath(QStringLiteral("log.csv"));
        QVERIFY(writeFile(fileName, text));

        // Opened twice, with a line appended in between: both times the same
        // rows are ok, and the appended line stands on a line of its own.
        for (int pass = 0; pass < 2; ++pass) {
            BatchLog log(plan);
            QStringList lines;
            QStringList warnings;
            const bool opened = log.open(fileName, &lines, &warnings);
            QStringList ok;
            for (int row : log.okRows())
                ok << QString::number(row);
            ok.sort();
            QCOMPARE(opened ? ok.join(QLatin1Char(' ')) : lines.join(QLatin1Char('\n')).replace(fileName, QStringLiteral("log.csv")),
                     outcome);
            if (!opened)
                return;
            QCOMPARE(warnings.isEmpty(), text.isEmpty() || text.endsWith('\n'));
            Attempt skipped;
            skipped.row = 2;
            skipped.port = QStringLiteral("/dev/ttyUSB1");
            skipped.result = Result::Skipped;
            QVERIFY(log.append(skipped));
        }
        const QByteArray written = readFile(fileName);
        QVERIFY(written.startsWith(LogHeader));
        const QRegularExpression appended(u"^[^,\\n]+Z,2,A-2,/dev/ttyUSB1,skipped,,10.0.0.2,2,,,,,,,,,,$"_s,
                                          QRegularExpression::MultilineOption);
        QCOMPARE(QString::fromUtf8(written).count(appended), 2);
    }
};

QTEST_GUILESS_MAIN(tst_BatchPlan)
#include "tst_batch_plan.moc"
