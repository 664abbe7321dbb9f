// What tools outside the project print: a program run to its end, and the
// text of a PDF as a reader's tool extracts it.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Where the program fails, a warning says why (and the checks of what it
// printed fail).
inline QByteArray output(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qWarning("%s %s: %s", qPrintable(program), qPrintable(arguments.join(QLatin1Char(' '))),
                 process.readAllStandardError().constData());
    return process.readAllStandardOutput();
}

// Every run of blanks and line breaks one blank.
inline QString pdfText(const QString &pdf)
{
    return QString::fromUtf8(output(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")})).simplified();
}
