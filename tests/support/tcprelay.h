// A TCP relay between the programs under test and a server, that the test
// can stop forwarding for a while: a network partition. The connections
// stay open while it is stopped, as they do when a link in between drops
// packets; what comes meanwhile is held and forwarded once it goes on, and
// new connections wait as well.
#pragma once

#include <QHostAddress>
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

private:
    struct Pair
    {
        TcpRelay *relay;
        QTcpSocket *client;
        std::unique_ptr<QTcpSocket> server = std::make_unique<QTcpSocket>();
        void forward()
        {
            if (!relay->m_forwarding)
                return;
            if (server->state() == QAbstractSocket::ConnectedState && client->bytesAvailable())
                server->write(client->readAll());
            if (client->state() == QAbstractSocket::ConnectedState && server->bytesAvailable())
                client->write(server->readAll());
            // A side that closed closes the other, once what it sent is through.
            if (client->state() == QAbstractSocket::UnconnectedState && !client->bytesAvailable())
                server->disconnectFromHost();
            if (server->state() == QAbstractSocket::UnconnectedState && !server->bytesAvailable())
                client->disconnectFromHost();
        }
    };

    void add(QTcpSocket *client)
    {
        client->setParent(this);
        auto pair = std::make_unique<Pair>(Pair{this, client});
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
    std::vector<std::unique_ptr<Pair>> m_pairs;
};
