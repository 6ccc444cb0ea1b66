// A small HTTP/1.1 server on the loopback interface, started by a test: it serves fixed
// answers, can keep a request waiting forever or stream an endless page, and counts what it
// was asked and what it sent. It never reaches beyond 127.0.0.1.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

class LocalHttpServer : public QObject {
    Q_OBJECT

public:
    explicit LocalHttpServer(QObject* pParent = nullptr);
    ~LocalHttpServer() override;

    quint16 Port() const { return m_server.serverPort(); }
    // "127.0.0.1:PORT"
    QString Host() const;
    QString Url(const QString& path) const;

    // Answers GET path with 200 and this body.
    void Serve(const QString& path, const QByteArray& contentType, const QByteArray& body);
    // Reads the request and never answers.
    void NeverAnswer(const QString& path);
    // Answers path with a redirect to location.
    void Redirect(const QString& path, const QByteArray& location);
    // Answers 200 and then sends bytes as fast as the client takes them, up to nBytes; with
    // bAnnounce the length is announced in the header.
    void Endless(const QString& path, qint64 nBytes, bool bAnnounce);
    // Sends head, then piece again and again, as fast as the client takes it, up to nBytes:
    // an answer whose head never ends.
    void EndlessHead(const QString& path, const QByteArray& head, const QByteArray& piece,
                     qint64 nBytes);

    int RequestCount(const QString& path) const { return m_requests.value(path); }
    qint64 BytesSent() const { return m_nBytesSent; }
    int OpenConnections() const { return m_nOpen; }

private:
    enum class Kind { Serve, Silent, Endless, Redirect };
    struct Route {
        Kind kind = Kind::Serve;
        QByteArray contentType;
        QByteArray body;
        qint64 nBytes = 0;
        bool bAnnounce = false;
        QByteArray piece = "x"; // what an endless answer repeats
    };

    void OnNewConnection();
    void OnRequest(QTcpSocket* socket, const QByteArray& head);
    // Sends the next piece of an endless page.
    void Stream(QTcpSocket* socket);

    struct Connection {
        QByteArray buffer;
        bool bAnswered = false;
        qint64 nLeft = 0;  // of an endless page
        QByteArray pieces; // what it repeats, a chunk's worth
    };

    QTcpServer m_server;
    QHash<QString, Route> m_routes;
    QHash<QString, int> m_requests;
    QHash<QTcpSocket*, Connection> m_connections;
    qint64 m_nBytesSent = 0;
    int m_nOpen = 0;
};
