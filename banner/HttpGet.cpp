#include "banner/HttpGet.h"

#include <QTcpSocket>

namespace {

constexpr qint64 kReadStep = 64 * 1024;
constexpr int kMaxChunkLine = 1024; // a chunk's size and its extensions

// The text of a line that starts data and ends in "\n" (with or without "\r"); the line is
// taken off data.
QByteArray TakeLine(QByteArray& data, qsizetype end) {
    QByteArray line = data.left(end);
    data.remove(0, end + 1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

HttpGet::HttpGet(const QUrl& url, qint64 nMaxBytes, QObject* pParent)
    : QObject(pParent), m_pSocket(new QTcpSocket(this)), m_url(url), m_nMaxBytes(nMaxBytes) {
    m_pSocket->setReadBufferSize(kReadStep);
    connect(m_pSocket, &QTcpSocket::connected, this, [this] {
        QByteArray path = m_url.path(QUrl::FullyEncoded).toLatin1();
        if (path.isEmpty())
            path = "/";
        if (m_url.hasQuery())
            path += '?' + m_url.query(QUrl::FullyEncoded).toLatin1();
        const QByteArray host =
            m_url.adjusted(QUrl::RemoveUserInfo).authority(QUrl::FullyEncoded).toLatin1();
        m_pSocket->write("GET " + path + " HTTP/1.1\r\nHost: " + host +
                         "\r\nUser-Agent: Vantrel\r\nAccept: */*\r\n"
                         "Accept-Encoding: identity\r\nConnection: close\r\n\r\n");
    });
    connect(m_pSocket, &QTcpSocket::readyRead, this, &HttpGet::OnReadyRead);
    connect(m_pSocket, &QTcpSocket::disconnected, this, &HttpGet::OnClosed);
    connect(m_pSocket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (e == QAbstractSocket::RemoteHostClosedError)
            OnClosed();
        else
            Finish(false);
    });
    m_pSocket->connectToHost(url.host(), quint16(url.port(80)));
}

HttpGet::~HttpGet() {
    Abort();
}

void HttpGet::Abort() {
    m_bDone = true;
    m_pSocket->disconnect(this);
    m_pSocket->abort();
}

void HttpGet::OnReadyRead() {
    while (!m_bDone && m_pSocket->bytesAvailable() > 0) {
        m_buffer += m_pSocket->read(kReadStep);
        if (!m_bHeadDone && !TakeHead())
            return;
        if (m_bHeadDone && !TakeBody())
            return;
    }
}

void HttpGet::OnClosed() {
    if (m_bDone)
        return;
    OnReadyRead();
    if (!m_bDone)
        Finish(m_bHeadDone && m_body == Body::UntilClose);
}

// Takes the answer's head once it is whole. False when the answer has ended (it failed or
// redirects) or more is needed.
bool HttpGet::TakeHead() {
    for (;;) {
        qsizetype end = m_buffer.indexOf("\n\r\n");
        qsizetype endLength = 3;
        const qsizetype bare = m_buffer.indexOf("\n\n");
        if (bare >= 0 && (end < 0 || bare < end)) {
            end = bare;
            endLength = 2;
        }
        if (end < 0) {
            if (m_buffer.size() > kMaxHeadBytes)
                Finish(false);
            return false;
        }
        if (end > kMaxHeadBytes) {
            Finish(false);
            return false;
        }
        QByteArray head = m_buffer.left(end + 1);
        m_buffer.remove(0, end + endLength);
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> status = lines.first().trimmed().split(' ');
        bool bNumber = false;
        const int code = status.size() >= 2 ? status[1].toInt(&bNumber) : 0;
        if (!status.first().startsWith("HTTP/1.") || !bNumber) {
            Finish(false);
            return false;
        }
        if (code >= 100 && code < 200) { // an interim answer: the real one follows
            if (++m_nInterim > kMaxInterimAnswers) {
                Finish(false);
                return false;
            }
            continue;
        }
        qint64 length = -1;
        QByteArray location;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = lines[i].left(colon).trimmed().toLower();
            const QByteArray value = lines[i].mid(colon + 1).trimmed();
            bool bOk = true;
            if (name == "content-length") {
                const qint64 n = value.toLongLong(&bOk);
                if (!bOk || n < 0 || (length >= 0 && n != length)) {
                    Finish(false);
                    return false;
                }
                length = n;
            } else if (name == "transfer-encoding") {
                m_body = value.toLower().endsWith("chunked") ? Body::Chunked : Body::UntilClose;
            } else if (name == "content-encoding" && value.toLower() != "identity") {
                Finish(false); // none was asked for
                return false;
            } else if (name == "location") {
                location = value;
            }
        }
        if (code >= 300 && code < 400 && code != 304 && !location.isEmpty()) {
            m_bDone = true;
            m_pSocket->abort();
            emit Redirected(m_url.resolved(QUrl::fromEncoded(location)));
            return false;
        }
        if (code != 200 || length > m_nMaxBytes) {
            Finish(false);
            return false;
        }
        if (m_body != Body::Chunked && length >= 0) {
            m_body = Body::Sized;
            m_nLeft = length;
        }
        m_bHeadDone = true;
        return true;
    }
}

// Moves n bytes of the buffer into the body. False when that passes the limit, which ends
// the answer.
bool HttpGet::TakeBytes(qint64 n) {
    m_data += m_buffer.left(n);
    m_buffer.remove(0, n);
    m_nLeft -= n;
    if (m_data.size() <= m_nMaxBytes)
        return true;
    Finish(false);
    return false;
}

// Takes what the buffer holds of the body. False when the answer has ended.
bool HttpGet::TakeBody() {
    if (m_body == Body::Chunked)
        return TakeChunks();
    if (!TakeBytes(m_body == Body::Sized ? qMin(m_nLeft, qint64(m_buffer.size()))
                                         : m_buffer.size()))
        return false;
    if (m_body == Body::Sized && m_nLeft == 0) {
        Finish(true);
        return false;
    }
    return true;
}

bool HttpGet::TakeChunks() {
    for (;;) {
        if (m_bChunkData) {
            if (!TakeBytes(qMin(m_nLeft, qint64(m_buffer.size()))))
                return false;
            if (m_nLeft > 0)
                return true;
            m_bChunkData = false; // the line end after the data comes as an empty line
            continue;
        }
        const qsizetype end = m_buffer.indexOf('\n');
        if (end < 0) {
            if (m_buffer.size() > (m_bChunksDone ? kMaxHeadBytes : kMaxChunkLine))
                Finish(false);
            return !m_bDone;
        }
        const QByteArray line = TakeLine(m_buffer, end);
        if (m_bChunksDone) { // trailer fields, up to an empty line
            if (line.isEmpty())
                Finish(true);
            else if ((m_nLeft -= line.size()) < -kMaxHeadBytes)
                Finish(false);
            if (m_bDone)
                return false;
            continue;
        }
        if (line.isEmpty())
            continue; // the end of the chunk before
        bool bOk = false;
        const qint64 size = line.split(';').first().trimmed().toLongLong(&bOk, 16);
        if (!bOk || size < 0 || size > m_nMaxBytes) {
            Finish(false);
            return false;
        }
        if (size == 0) {
            m_bChunksDone = true;
            m_nLeft = 0;
        } else {
            m_bChunkData = true;
            m_nLeft = size;
        }
    }
}

void HttpGet::Finish(bool ok) {
    if (m_bDone)
        return;
    m_bDone = true;
    m_pSocket->abort();
    emit Finished(ok, ok ? m_data : QByteArray());
}
