// One HTTP/1.1 GET of the banner's: a plain http address, read on the user-interface thread
// a bounded amount at a time, so that a stop or a deadline ends it at once whatever the server
// sends, and nothing is left running when the window goes. Every part of the answer is
// bounded: the head, its lines, interim answers, the body.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QUrl>

class QTcpSocket;

class HttpGet : public QObject {
    Q_OBJECT

public:
    static constexpr int kMaxHeadBytes = 16 * 1024; // status line and fields, per answer
    static constexpr int kMaxInterimAnswers = 4;    // "100 Continue" and the like

    // Starts at once; the answer's body may have at most nMaxBytes.
    HttpGet(const QUrl& url, qint64 nMaxBytes, QObject* pParent = nullptr);
    ~HttpGet() override;

    // Closes the connection; no signal follows.
    void Abort();

signals:
    // The body of a "200" answer; ok is false for any other answer, a broken or too large one,
    // or a failed connection.
    void Finished(bool ok, const QByteArray& body);
    // A redirect to location (resolved against the address asked for); nothing follows.
    void Redirected(const QUrl& location);

private:
    enum class Body { Sized, Chunked, UntilClose };

    void OnReadyRead();
    void OnClosed();
    bool TakeHead();
    bool TakeBytes(qint64 n);
    bool TakeBody();
    bool TakeChunks();
    void Finish(bool ok);

    QTcpSocket* m_pSocket = nullptr;
    QUrl m_url;
    qint64 m_nMaxBytes = 0;
    QByteArray m_buffer; // received, not yet taken
    bool m_bHeadDone = false;
    int m_nInterim = 0;
    Body m_body = Body::UntilClose;
    qint64 m_nLeft = 0;         // of a sized body or of the current chunk
    bool m_bChunkData = false;  // within a chunk's data (else at its size line)
    bool m_bChunksDone = false; // the last chunk came: only trailer lines remain
    QByteArray m_data;
    bool m_bDone = false;
};
