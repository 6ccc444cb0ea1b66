#include "tests/support/LocalHttpServer.h"

#include <QTcpSocket>

namespace {

constexpr qint64 kChunk = 64 * 1024;

QByteArray Head(const QByteArray& status, const QByteArray& contentType, qint64 nLength) {
    QByteArray head = "HTTP/1.1 " + status + "\r\nConnection: close\r\n";
    if (!contentType.isEmpty())
        head += "Content-Type: " + contentType + "\r\n";
    if (nLength >= 0)
        head += "Content-Length: " + QByteArray::number(nLength) + "\r\n";
    return head + "\r\n";
}

} // namespace

LocalHttpServer::LocalHttpServer(QObject* pParent) : QObject(pParent) {
    connect(&m_server, &QTcpServer::newConnection, this, &LocalHttpServer::OnNewConnection);
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        qFatal("cannot listen on the loopback interface");
}

LocalHttpServer::~LocalHttpServer() {
    // Open sockets are deleted after the members their signals report to: silence them first.
    for (QTcpSocket* socket : m_connections.keys())
        socket->disconnect(this);
}

QString LocalHttpServer::Host() const {
    return QStringLiteral("127.0.0.1:%1").arg(Port());
}

QString LocalHttpServer::Url(const QString& path) const {
    return QStringLiteral("http://%1%2").arg(Host(), path);
}

void LocalHttpServer::Serve(const QString& path, const QByteArray& contentType,
                            const QByteArray& body) {
    m_routes.insert(path, Route{Kind::Serve, contentType, body, 0, false});
}

void LocalHttpServer::NeverAnswer(const QString& path) {
    m_routes.insert(path, Route{Kind::Silent, {}, {}, 0, false});
}

void LocalHttpServer::EndlessHead(const QString& path, const QByteArray& head,
                                  const QByteArray& piece, qint64 nBytes) {
    m_routes.insert(path, Route{Kind::Endless, {}, head, nBytes, false, piece});
}

void LocalHttpServer::Redirect(const QString& path, const QByteArray& location) {
    m_routes.insert(path, Route{Kind::Redirect, {}, location, 0, false});
}

void LocalHttpServer::Endless(const QString& path, qint64 nBytes, bool bAnnounce) {
    m_routes.insert(path, Route{Kind::Endless, "text/html", {}, nBytes, bAnnounce});
}

void LocalHttpServer::OnNewConnection() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        ++m_nOpen;
        m_connections.insert(socket, Connection{});
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            --m_nOpen;
            m_connections.remove(socket);
            socket->deleteLater();
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            Connection& connection = m_connections[socket];
            const QByteArray data = socket->readAll();
            if (connection.bAnswered)
                return; // one request per connection
            connection.buffer += data;
            const qsizetype end = connection.buffer.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            connection.bAnswered = true;
            OnRequest(socket, connection.buffer.left(end));
        });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            if (m_connections.value(socket).nLeft > 0 && socket->bytesToWrite() < 4 * kChunk)
                Stream(socket);
        });
    }
}

void LocalHttpServer::OnRequest(QTcpSocket* socket, const QByteArray& head) {
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    const QString path = requestLine.size() >= 2 ? QString::fromLatin1(requestLine[1]) : QString();
    m_requests[path] += 1;
    const auto it = m_routes.constFind(path);
    if (it == m_routes.constEnd()) {
        m_nBytesSent += socket->write(Head("404 Not Found", "text/plain", 0));
        socket->disconnectFromHost();
        return;
    }
    const Route& route = *it;
    switch (route.kind) {
    case Kind::Serve:
        m_nBytesSent +=
            socket->write(Head("200 OK", route.contentType, route.body.size()) + route.body);
        socket->disconnectFromHost();
        break;
    case Kind::Silent:
        break;
    case Kind::Redirect:
        m_nBytesSent += socket->write("HTTP/1.1 302 Found\r\nLocation: " + route.body +
                                      "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        break;
    case Kind::Endless:
        socket->write(route.contentType.isEmpty()
                          ? route.body
                          : Head("200 OK", route.contentType, route.bAnnounce ? route.nBytes : -1));
        m_connections[socket].nLeft = route.nBytes;
        m_connections[socket].pieces = route.piece.repeated(kChunk / route.piece.size() + 1);
        Stream(socket);
        break;
    }
}

void LocalHttpServer::Stream(QTcpSocket* socket) {
    Connection& connection = m_connections[socket];
    const qint64 n = qMin(connection.nLeft, kChunk);
    connection.nLeft -= n;
    m_nBytesSent += socket->write(connection.pieces.left(n));
    if (connection.nLeft == 0)
        socket->disconnectFromHost();
}
