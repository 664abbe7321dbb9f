// velmora-web's logins: a session lives while it is used, and ends after
// eight hours without a request, closing the planner's connection with it,
// whether or not its browser ever comes back.
#include "web/sessions.h"

#include <QSqlDatabase>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_web_sessions : public QObject
{
    Q_OBJECT

private slots:
    void idleExpiry_data()
    {
        QTest::addColumn<qint64>("idle");
        QTest::addColumn<bool>("lives");
        QTest::newRow("idle a second less than eight hours") << Web::Sessions::IdleSeconds - 1 << true;
        QTest::newRow("idle for eight hours") << Web::Sessions::IdleSeconds << false;
        QTest::newRow("idle for a week") << qint64(7 * 24 * 3600) << false;
    }

    void idleExpiry()
    {
        QFETCH(qint64, idle);
        QFETCH(bool, lives);
        QDateTime now = QDateTime::currentDateTimeUtc();
        Web::Sessions sessions(Web::Sessions::IdleSeconds, [&now] { return now; });
        // A planner's connection, as a login leaves it; never opened here.
        const QString connection = u"planner-%1"_s.arg(QTest::currentDataTag());
        QSqlDatabase::addDatabase(u"QPSQL"_s, connection);
        const QByteArray planner = sessions.open(u"anna"_s, true, connection);

        // The planner never comes back; another person's login and requests
        // end their session all the same.
        now = now.addSecs(idle - 1);
        const QByteArray viewer = sessions.open(u"ben"_s, false, QString());
        now = now.addSecs(1);
        QVERIFY(sessions.find(viewer));
        QCOMPARE(QSqlDatabase::contains(connection), lives);
        QCOMPARE(sessions.count(), lives ? 2 : 1);
        QCOMPARE(sessions.find(planner) != nullptr, lives);
        sessions.close(planner);
        QVERIFY(!QSqlDatabase::contains(connection));
    }
};

QTEST_GUILESS_MAIN(tst_web_sessions)
#include "tst_web_sessions.moc"
