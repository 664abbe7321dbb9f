// What the Qt and the libraries built for Windows give the programs, checked
// where they run: Qt SQL's PostgreSQL driver against a real server, plain and
// over TLS; the PDF writer and the printer's PDF output; libqrencode.
//
// Run by tests/windows/test-libraries.sh, which starts the server: libpq finds
// it through PGHOST, PGPORT, PGUSER, PGDATABASE and PGPASSWORD;
// VELMORA_PG_TLS is the folder of its CA's certificate (ca.crt) and of
// another CA's (other-ca.crt). The PDFs go to VELMORA_PDF_DIR, where the
// script reads them back.
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <qrencode.h>

#include <memory>

class TestLibraries : public QObject
{
    Q_OBJECT

private slots:
    void postgres_data();
    void postgres();
    void pdf_data();
    void pdf();
    void qrCode_data();
    void qrCode();
};

namespace {

QString fromEnvironment(const char *name)
{
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty())
        qFatal("%s is not set: run tests/windows/test-libraries.sh, which sets it", name);
    return value;
}

QString tlsFile(const QString &name)
{
    return fromEnvironment("VELMORA_PG_TLS") + QLatin1Char('/') + name;
}

} // namespace

void TestLibraries::postgres_data()
{
    QTest::addColumn<QString>("host");  // empty: PGHOST's
    QTest::addColumn<QString>("password");  // empty: PGPASSWORD's
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("refusal");  // a part of the error; empty: the connection opens
    QTest::addColumn<bool>("tls");

    const QString verifyFull = QStringLiteral("sslmode=verify-full;sslrootcert=") + tlsFile("ca.crt");
    QTest::newRow("plain") << QString() << QString() << QStringLiteral("sslmode=disable") << QString() << false;
    QTest::newRow("TLS, verify-full") << QString() << QString() << verifyFull << QString() << true;
    QTest::newRow("verify-full, a host name the certificate lacks")
        << QStringLiteral("localhost") << QString() << verifyFull << QStringLiteral("does not match host name")
        << true;
    QTest::newRow("verify-full, another CA")
        << QString() << QString() << QStringLiteral("sslmode=verify-full;sslrootcert=") + tlsFile("other-ca.crt")
        << QStringLiteral("certificate verify failed") << true;
    QTest::newRow("a wrong password") << QString() << QStringLiteral("not the password") << verifyFull
                                      << QStringLiteral("password authentication failed") << true;
}

void TestLibraries::postgres()
{
    QFETCH(QString, host);
    QFETCH(QString, password);
    QFETCH(QString, options);
    QFETCH(QString, refusal);
    QFETCH(bool, tls);

    const QString connection = QString::fromLatin1(QTest::currentDataTag());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        QVERIFY2(db.isValid(), "no QPSQL driver: sqldrivers/qsqlpsql.dll or libpq.dll did not load");
        db.setHostName(host);
        db.setPassword(password);
        db.setConnectOptions(options);
        const bool opened = db.open();
        if (!refusal.isEmpty()) {
            QVERIFY2(!opened, "opened, though it should have been refused");
            QVERIFY2(db.lastError().text().contains(refusal), qPrintable(db.lastError().text()));
        } else {
            QVERIFY2(opened, qPrintable(db.lastError().text()));
            QSqlQuery query(db);
            QVERIFY2(query.exec(QStringLiteral("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()")),
                     qPrintable(query.lastError().text()));
            QVERIFY(query.next());
            QCOMPARE(query.value(0).toBool(), tls);

            // A value with letters beyond ASCII, there and back as it was.
            const QString station = QStringLiteral("Prüfplatz ß-7 \u00e9");
            QVERIFY2(query.exec(QStringLiteral("CREATE TEMP TABLE stations (name text)")),
                     qPrintable(query.lastError().text()));
            QVERIFY(query.prepare(QStringLiteral("INSERT INTO stations VALUES (?)")));
            query.addBindValue(station);
            QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
            QVERIFY(query.exec(QStringLiteral("SELECT name, length(name) FROM stations")));
            QVERIFY(query.next());
            QCOMPARE(query.value(0).toString(), station);
            QCOMPARE(query.value(1).toInt(), int(station.size()));
        }
    }
    QSqlDatabase::removeDatabase(connection);
}

void TestLibraries::pdf_data()
{
    QTest::addColumn<QString>("writer");
    QTest::newRow("QPdfWriter") << QStringLiteral("QPdfWriter");
    QTest::newRow("QPrinter") << QStringLiteral("QPrinter");
}

// Each PDF says which writer made it; the script reads that back.
void TestLibraries::pdf()
{
    QFETCH(QString, writer);
    const QString fileName = fromEnvironment("VELMORA_PDF_DIR") + QLatin1Char('/') + writer + QLatin1String(".pdf");
    std::unique_ptr<QPagedPaintDevice> device;
    if (writer == QLatin1String("QPdfWriter")) {
        device = std::make_unique<QPdfWriter>(fileName);
    } else {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(fileName);
        device = std::move(printer);
    }
    {
        QPainter painter;
        QVERIFY(painter.begin(device.get()));
        painter.setFont(QFont(QStringLiteral("Arial"), 14));
        painter.drawText(QPointF(200, 400), QStringLiteral("Velmora label from ") + writer);
    }
    device.reset();

    QFile file(fileName);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    QVERIFY(file.read(5) == "%PDF-");
}

void TestLibraries::qrCode_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("width");
    // In 8-bit mode at level M, version 1 (21 modules) holds 14 bytes, version 2 (25) 26.
    QTest::newRow("a serial number") << QByteArray("SN 17") << 21;
    QTest::newRow("the most of version 1") << QByteArray(14, 'x') << 21;
    QTest::newRow("one byte more") << QByteArray(15, 'x') << 25;
    QTest::newRow("the most of version 2") << QByteArray(26, 'x') << 25;
}

void TestLibraries::qrCode()
{
    QFETCH(QByteArray, text);
    QFETCH(int, width);
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(text.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    QVERIFY(code);
    QCOMPARE(code->width, width);
    // The top-left finder pattern's first row: seven dark modules, then the light separator.
    for (int x = 0; x < 7; ++x)
        QVERIFY2(code->data[x] & 1, qPrintable(QStringLiteral("module %1 of the top row is light").arg(x)));
    QVERIFY(!(code->data[7] & 1));
}

QTEST_MAIN(TestLibraries)
#include "tst_libraries.moc"
