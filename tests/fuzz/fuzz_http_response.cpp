// The bytes an HTTP server sends back, as the update check's client reads them: the first byte
// picks the limits and how the connection splits the rest.

#include "FuzzCheck.h"
#include "platform/HttpResponseReader.h"

#include <cstddef>
#include <cstdint>

namespace {

using inkvale::HttpResponseReader;
using State = HttpResponseReader::State;

struct Outcome {
    State state;
    int status;
    bool headersRead;
    QByteArray body;
    bool tooLarge;
    QString error;

    bool operator==(const Outcome&) const = default;
};

Outcome outcomeOf(const HttpResponseReader& reader) {
    return {reader.state(), reader.statusCode(), reader.headersRead(),
            reader.body(),  reader.tooLarge(),   reader.error()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    static constexpr qsizetype kLines[] = {16, 64, 8 * 1024, 2};
    static constexpr qint64 kBodies[] = {0, 16, 64 * 1024, 1};
    const HttpResponseReader::Limits limits{.line = kLines[data[0] & 3],
                                            .headerBlock = 256,
                                            .interimResponses = 2,
                                            .body = kBodies[(data[0] >> 2) & 3]};
    const qsizetype piece = ((data[0] >> 4) & 15) + 1;
    const QByteArrayView response(reinterpret_cast<const char*>(data + 1),
                                  static_cast<qsizetype>(size - 1));

    HttpResponseReader whole(limits);
    whole.feed(response);
    HttpResponseReader split(limits);
    for (qsizetype at = 0; at < response.size(); at += piece) {
        split.feed(response.sliced(at, std::min(piece, response.size() - at)));
    }
    // How the bytes came never changes what was read of them.
    FUZZ_CHECK(outcomeOf(whole) == outcomeOf(split));

    // Nothing kept outgrows its limit, and a failure says why.
    FUZZ_CHECK(whole.body().size() <= limits.body);
    FUZZ_CHECK(whole.error().isEmpty() == (whole.state() != State::Failed));
    FUZZ_CHECK(!whole.tooLarge() || whole.state() == State::Failed);
    // A finished response is a final one, its status a real one.
    if (whole.state() == State::Done) {
        FUZZ_CHECK(whole.headersRead());
        FUZZ_CHECK(whole.statusCode() >= 200 && whole.statusCode() <= 599);
    }
    if (whole.headersRead()) {
        FUZZ_CHECK(whole.statusCode() >= 200);
    } else {
        FUZZ_CHECK(whole.body().isEmpty());
    }

    // An ended response stays as it ended, whatever follows on the connection.
    const Outcome before = outcomeOf(whole);
    if (whole.state() != State::Reading) {
        whole.feed(response);
        whole.finish();
        FUZZ_CHECK(outcomeOf(whole) == before);
        return 0;
    }
    // A close ends every response still being read, and adds nothing to its body.
    whole.finish();
    FUZZ_CHECK(whole.state() != State::Reading);
    FUZZ_CHECK(whole.body() == before.body);
    return 0;
}
