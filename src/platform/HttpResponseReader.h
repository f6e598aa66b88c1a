#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace inkvale {

/// Reads one HTTP/1.x response from the bytes of a connection as they arrive, in pieces of any
/// size, within fixed bounds: whatever the server sends, no line, header block or body it keeps
/// grows past its limit, and a response that would is a failure.
class HttpResponseReader final {
public:
    /// How far a response may go.
    struct Limits {
        qsizetype line = 8 * 1024;         ///< any line: status, header, chunk size, trailer
        qsizetype headerBlock = 64 * 1024; ///< all header lines of a response, trailers included
        int interimResponses = 8;          ///< 1xx responses before the final one
        qint64 body = 64 * 1024;           ///< the body, after any chunked framing is taken off
        bool keepBody = true; ///< false: the body is counted against its limit, not kept
    };

    enum class State {
        Reading, ///< more bytes are wanted
        Done,    ///< the whole response is read; bytes after it are ignored
        Failed,  ///< the response broke a rule or a limit; see error()
    };

    explicit HttpResponseReader(Limits limits)
        : m_limits(limits) {}

    /// Reads the next bytes of the connection.
    State feed(QByteArrayView bytes);
    /// The connection has closed: a body that runs to the close is complete when
    /// `closeEndsBody` (a close that the connection vouches for), anything else still waiting
    /// for bytes is cut short. Over TLS a close is not vouched for: an attacker on the path can
    /// cut the connection anywhere, so only a body with a length or chunks is whole there.
    State finish(bool closeEndsBody = true);

    [[nodiscard]] State state() const { return m_state; }
    /// The final response's status, 0 until its status line has been read.
    [[nodiscard]] int statusCode() const { return m_status; }
    /// Whether the final response's headers have been read.
    [[nodiscard]] bool headersRead() const { return m_headersRead; }
    /// The value of the final response's header `name` (any letter case), the values of
    /// repeated headers joined by ", "; empty when it was not sent.
    [[nodiscard]] QByteArray header(QByteArrayView name) const;
    /// Whether the final response has the header `name` (any letter case), empty or not.
    [[nodiscard]] bool hasHeader(QByteArrayView name) const;
    /// The body read so far, never more than the limit; empty unless the limits keep it.
    [[nodiscard]] const QByteArray& body() const { return m_body; }
    /// Whether the failure is a body larger than the limit.
    [[nodiscard]] bool tooLarge() const { return m_tooLarge; }
    /// Why the response failed, for people; empty otherwise.
    [[nodiscard]] const QString& error() const { return m_error; }

private:
    enum class Part {
        StatusLine,
        Headers,
        Body,
        ToClose,
        ChunkSize,
        ChunkData,
        ChunkEnd,
        Trailers
    };

    State fail(const QString& why);
    State failTooLarge();
    /// Takes bytes up to the next line feed into the line buffer; true once a line is whole.
    bool takeLine(QByteArrayView& bytes, QByteArray& line);
    State readStatusLine(const QByteArray& line);
    State readHeaderLine(const QByteArray& line);
    State headersEnded();
    State readChunkSize(const QByteArray& line);
    State appendBody(QByteArrayView bytes);

    Limits m_limits;
    State m_state = State::Reading;
    Part m_part = Part::StatusLine;
    QByteArray m_line;
    qsizetype m_headerBytes = 0;
    int m_interim = 0;
    int m_status = 0;
    bool m_headersRead = false;
    QList<std::pair<QByteArray, QByteArray>> m_headers;
    qint64 m_remaining = 0; ///< of a body of known length, or of the current chunk
    QByteArray m_body;
    qint64 m_bodySize = 0;
    bool m_tooLarge = false;
    QString m_error;
};

} // namespace inkvale
