#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>
#include <optional>

// One request as a RawServer read it.
struct Received {
    QByteArray method, path, body;
    std::optional<QByteArray> cookie;
};

inline QByteArray answer(const QByteArray& status, const QByteArray& headers,
                         const QByteArray& body)
{
    return "HTTP/1.1 " + status + "\r\n" + headers +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

// A loopback server speaking raw HTTP, for a test that plays a platform or a hostile site: it keeps
// every request it is sent and answers each with what `respond` writes.
class RawServer : public QTcpServer {
public:
    RawServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection())
                serve(socket);
        });
    }
    QString origin(const char* scheme = "http") const
    {
        return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(serverPort());
    }

    std::function<void(QTcpSocket*, const Received&)> respond = [](QTcpSocket* socket,
                                                                   const Received&) {
        socket->write(answer("200 OK", {}, "<ok/>"));
        socket->disconnectFromHost();
    };
    QList<Received> requests;

private:
    void serve(QTcpSocket* socket)
    {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            Received request;
            qsizetype length = 0;
            const QList<QByteArray> lines = buffer->left(end).split('\n');
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            request.method = first.value(0);
            request.path = first.value(1);
            for (const QByteArray& line : lines.mid(1)) {
                const qsizetype colon = line.indexOf(':');
                const QByteArray name = line.left(colon).trimmed().toLower();
                const QByteArray value = line.mid(colon + 1).trimmed();
                if (name == "content-length")
                    length = value.toLongLong();
                else if (name == "cookie")
                    request.cookie = value;
            }
            if (buffer->size() < end + 4 + length)
                return;
            request.body = buffer->mid(end + 4, length);
            buffer->clear();
            requests.append(request);
            respond(socket, request);
        });
    }
};
