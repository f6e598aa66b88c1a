#include "platform/HttpResponseReader.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace inkvale {

namespace {

constexpr int kMaxHeaders = 100;

bool isTokenChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7f) {
        return false;
    }
    return !QByteArrayView("\"(),/:;<=>?@[\\]{}").contains(c);
}

QByteArray trimmedBlanks(QByteArrayView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
        --end;
    }
    return text.sliced(begin, end - begin).toByteArray();
}

/// A decimal number of at most 18 digits, so that it fits in qint64; -1 otherwise.
qint64 decimal(QByteArrayView digits) {
    if (digits.isEmpty() || digits.size() > 18) {
        return -1;
    }
    qint64 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

QByteArray HttpResponseReader::header(QByteArrayView name) const {
    QByteArray joined;
    bool found = false;
    for (const auto& [key, value] : m_headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            if (found) {
                joined += ", ";
            }
            joined += value;
            found = true;
        }
    }
    return joined;
}

bool HttpResponseReader::hasHeader(QByteArrayView name) const {
    return std::any_of(m_headers.cbegin(), m_headers.cend(), [name](const auto& header) {
        return header.first.compare(name, Qt::CaseInsensitive) == 0;
    });
}

HttpResponseReader::State HttpResponseReader::fail(const QString& why) {
    m_state = State::Failed;
    m_error = why;
    m_line.clear();
    return m_state;
}

HttpResponseReader::State HttpResponseReader::failTooLarge() {
    m_tooLarge = true;
    return fail(QStringLiteral("response larger than allowed"));
}

bool HttpResponseReader::takeLine(QByteArrayView& bytes, QByteArray& line) {
    const qsizetype end = bytes.indexOf('\n');
    const qsizetype taken = end < 0 ? bytes.size() : end;
    if (line.size() + taken > m_limits.line) {
        fail(QStringLiteral("a line of the response is longer than allowed"));
        bytes = {};
        return false;
    }
    line += bytes.first(taken);
    bytes = end < 0 ? QByteArrayView() : bytes.sliced(end + 1);
    return end >= 0;
}

HttpResponseReader::State HttpResponseReader::feed(QByteArrayView bytes) {
    while (m_state == State::Reading && !bytes.isEmpty()) {
        switch (m_part) {
        case Part::Body:
        case Part::ChunkData: {
            const auto taken = static_cast<qsizetype>(std::min<qint64>(m_remaining, bytes.size()));
            if (appendBody(bytes.first(taken)) != State::Reading) {
                return m_state;
            }
            bytes = bytes.sliced(taken);
            m_remaining -= taken;
            if (m_remaining == 0) {
                if (m_part == Part::Body) {
                    m_state = State::Done;
                } else {
                    m_part = Part::ChunkEnd;
                }
            }
            break;
        }
        case Part::ToClose:
            appendBody(bytes);
            bytes = {};
            break;
        default: {
            if (!takeLine(bytes, m_line)) {
                break;
            }
            QByteArray line = std::exchange(m_line, {});
            if (line.endsWith('\r')) {
                line.chop(1);
            }
            const bool inHead =
                m_part == Part::StatusLine || m_part == Part::Headers || m_part == Part::Trailers;
            if (inHead) {
                m_headerBytes += line.size() + 2;
                if (m_headerBytes > m_limits.headerBlock) {
                    return fail(QStringLiteral("the response's headers are larger than allowed"));
                }
            }
            switch (m_part) {
            case Part::StatusLine:
                readStatusLine(line);
                break;
            case Part::Headers:
                readHeaderLine(line);
                break;
            case Part::ChunkSize:
                readChunkSize(line);
                break;
            case Part::ChunkEnd:
                if (!line.isEmpty()) {
                    return fail(QStringLiteral("a chunk of the response is longer than announced"));
                }
                m_part = Part::ChunkSize;
                break;
            case Part::Trailers:
                // Trailers carry nothing this reader needs; their size is bounded above.
                if (line.isEmpty()) {
                    m_state = State::Done;
                }
                break;
            default:
                break;
            }
        }
        }
    }
    return m_state;
}

HttpResponseReader::State HttpResponseReader::finish(bool closeEndsBody) {
    if (m_state != State::Reading) {
        return m_state;
    }
    if (m_part == Part::ToClose) {
        if (!closeEndsBody) {
            return fail(QStringLiteral("the body has neither a length nor chunks, and the "
                                       "connection's close cannot tell whether it is whole"));
        }
        m_state = State::Done;
        return m_state;
    }
    return fail(QStringLiteral("the connection closed before the response was complete"));
}

HttpResponseReader::State HttpResponseReader::readStatusLine(const QByteArray& line) {
    // A client ignores blank lines before the status line (their bytes still count).
    if (line.isEmpty()) {
        return m_state;
    }
    // HTTP/1.x SSS[ reason]
    const bool shaped = line.size() >= 12 && line.startsWith("HTTP/1.") && line[7] >= '0' &&
                        line[7] <= '9' && line[8] == ' ' && (line.size() == 12 || line[12] == ' ');
    const qint64 status = shaped ? decimal(QByteArrayView(line).sliced(9, 3)) : -1;
    if (status < 100 || status > 599) {
        return fail(QStringLiteral("the server did not answer in HTTP/1"));
    }
    if (status == 101) {
        return fail(QStringLiteral("the server switched protocols, which was not asked for"));
    }
    m_status = static_cast<int>(status);
    m_part = Part::Headers;
    return m_state;
}

HttpResponseReader::State HttpResponseReader::readHeaderLine(const QByteArray& line) {
    if (line.isEmpty()) {
        return headersEnded();
    }
    const qsizetype colon = line.indexOf(':');
    // Folded lines and blanks before the colon are refused, as a modern client does.
    if (colon <= 0 || !std::all_of(line.cbegin(), line.cbegin() + colon, isTokenChar)) {
        return fail(QStringLiteral("the response holds a malformed header"));
    }
    if (m_headers.size() >= kMaxHeaders) {
        return fail(QStringLiteral("the response has more headers than allowed"));
    }
    m_headers.append({line.left(colon), trimmedBlanks(QByteArrayView(line).sliced(colon + 1))});
    return m_state;
}

HttpResponseReader::State HttpResponseReader::headersEnded() {
    if (m_status < 200) {
        m_status = 0;
        if (++m_interim > m_limits.interimResponses) {
            return fail(QStringLiteral("the server sent more interim responses than allowed"));
        }
        m_headers.clear();
        m_headerBytes = 0;
        m_part = Part::StatusLine;
        return m_state;
    }
    m_headersRead = true;
    if (m_status == 204 || m_status == 304) {
        m_state = State::Done;
        return m_state;
    }
    const QByteArray coding = header("Content-Encoding").toLower();
    if (!coding.isEmpty() && coding != "identity") {
        return fail(QStringLiteral("the body is encoded (%1), which was not asked for")
                        .arg(QString::fromLatin1(coding.left(40))));
    }
    if (hasHeader("Transfer-Encoding")) {
        if (header("Transfer-Encoding").compare("chunked", Qt::CaseInsensitive) != 0) {
            return fail(QStringLiteral("the body has a transfer coding this client does not read"));
        }
        m_part = Part::ChunkSize;
        return m_state;
    }
    if (!hasHeader("Content-Length")) {
        m_part = Part::ToClose;
        return m_state;
    }
    // Repeated lengths are allowed only when they agree; an empty one is no length.
    qint64 length = -1;
    for (const QByteArray& one : header("Content-Length").split(',')) {
        const qint64 value = decimal(trimmedBlanks(one));
        if (value < 0 || (length >= 0 && value != length)) {
            return fail(QStringLiteral("the response's length is malformed"));
        }
        length = value;
    }
    if (length > m_limits.body) {
        return failTooLarge();
    }
    m_remaining = length;
    m_part = Part::Body;
    if (length == 0) {
        m_state = State::Done;
    }
    return m_state;
}

HttpResponseReader::State HttpResponseReader::readChunkSize(const QByteArray& line) {
    qsizetype digits = 0;
    qint64 size = 0;
    for (; digits < line.size() && hexDigit(line[digits]) >= 0; ++digits) {
        if (digits == 15) {
            return fail(QStringLiteral("a chunk of the response is larger than allowed"));
        }
        size = size * 16 + hexDigit(line[digits]);
    }
    // Extensions after the size are allowed and ignored; their length is the line's.
    const QByteArray rest = trimmedBlanks(QByteArrayView(line).sliced(digits));
    if (digits == 0 || (!rest.isEmpty() && !rest.startsWith(';'))) {
        return fail(QStringLiteral("the response's chunk size is malformed"));
    }
    if (size == 0) {
        m_part = Part::Trailers;
        return m_state;
    }
    if (m_bodySize + size > m_limits.body) {
        return failTooLarge();
    }
    m_remaining = size;
    m_part = Part::ChunkData;
    return m_state;
}

HttpResponseReader::State HttpResponseReader::appendBody(QByteArrayView bytes) {
    // What fits is kept, so that the body read so far does not depend on how the bytes came.
    const qint64 room = m_limits.body - m_bodySize;
    const qint64 taken = std::min<qint64>(room, bytes.size());
    if (m_limits.keepBody) {
        m_body += bytes.first(static_cast<qsizetype>(taken));
    }
    m_bodySize += taken;
    return bytes.size() > room ? failTooLarge() : m_state;
}

} // namespace inkvale
