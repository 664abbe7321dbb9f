// A TCP relay between the programs under test and a server, that the test
// can stop forwarding for a while: a network partition. The connections
// stay open while it is stopped, as they do when a link in between drops
// packets; what comes meanwhile is held and forwarded once it goes on, and
// new connections wait as well. It can also drop every connection at once,
// or one connection's answer to a statement the server has been given.
#pragma once

#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <vector>

class TcpRelay : public QObject
{
public:
    explicit TcpRelay(quint16 target) : m_target(target)
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *client = m_server.nextPendingConnection())
                add(client);
        });
    }

    quint16 port() const { return m_server.serverPort(); }
    void setForwarding(bool forwarding)
    {
        m_forwarding = forwarding;
        if (forwarding) {
            for (const auto &pair : m_pairs)
                pair->forward();
        }
    }

    // Every connection cut at once, as a reset or a crash in between would.
    void reset()
    {
        for (const auto &pair : m_pairs) {
            pair->client->abort();
            pair->server->abort();
        }
    }

    // The next time a program has the server run a statement it prepared
    // with text holding marker, the statement goes through and its answer
    // does not: the program's connection is cut at once, the server's kept
    // until its answer comes, so that the server has done it. Qt's driver
    // prepares with PREPARE name AS ... and runs with EXECUTE name (...).
    void loseAnswerTo(const QByteArray &marker) { m_marker = marker; }
    // How many answers were lost so.
    int answersLost() const { return m_answersLost; }

private:
    struct Pair
    {
        TcpRelay *relay = nullptr;
        QTcpSocket *client = nullptr;
        std::unique_ptr<QTcpSocket> server = std::make_unique<QTcpSocket>();
        QByteArray armedStatement;  // "EXECUTE qpsqlpstmt_3 "
        bool answerLost = false;
        void forward()
        {
            if (!relay->m_forwarding)
                return;
            if (answerLost) {
                // Closed once the server has answered, and so done it.
                if (server->bytesAvailable()) {
                    server->readAll();
                    server->disconnectFromHost();
                }
                return;
            }
            if (server->state() == QAbstractSocket::ConnectedState && client->bytesAvailable()) {
                const QByteArray bytes = client->readAll();
                server->write(bytes);
                if (!relay->m_marker.isEmpty())
                    watch(bytes);
                if (answerLost) {
                    server->flush();
                    client->abort();
                    return;
                }
            }
            if (client->state() == QAbstractSocket::ConnectedState && server->bytesAvailable())
                client->write(server->readAll());
            // A side that closed closes the other, once what it sent is through.
            if (client->state() == QAbstractSocket::UnconnectedState && !client->bytesAvailable())
                server->disconnectFromHost();
            if (server->state() == QAbstractSocket::UnconnectedState && !server->bytesAvailable())
                client->disconnectFromHost();
        }
        void watch(const QByteArray &bytes)
        {
            static const QRegularExpression prepared(QStringLiteral("PREPARE (\\S+) AS "));
            const QString text = QString::fromLatin1(bytes);
            const QRegularExpressionMatch match = prepared.match(text);
            if (match.hasMatch() && bytes.contains(relay->m_marker)) {
                armedStatement = "EXECUTE " + match.captured(1).toLatin1() + ' ';
            } else if (!armedStatement.isEmpty() && bytes.contains(armedStatement)) {
                answerLost = true;
                relay->m_marker.clear();
                ++relay->m_answersLost;
            }
        }
    };

    void add(QTcpSocket *client)
    {
        client->setParent(this);
        auto pair = std::make_unique<Pair>();
        pair->relay = this;
        pair->client = client;
        Pair *raw = pair.get();
        for (QTcpSocket *socket : {client, raw->server.get()}) {
            connect(socket, &QTcpSocket::readyRead, this, [raw] { raw->forward(); });
            connect(socket, &QTcpSocket::disconnected, this, [raw] { raw->forward(); });
        }
        connect(raw->server.get(), &QTcpSocket::connected, this, [raw] { raw->forward(); });
        raw->server->connectToHost(QHostAddress::LocalHost, m_target);
        m_pairs.push_back(std::move(pair));
    }

    QTcpServer m_server;
    const quint16 m_target;
    bool m_forwarding = true;
    QByteArray m_marker;
    int m_answersLost = 0;
    std::vector<std::unique_ptr<Pair>> m_pairs;
};
