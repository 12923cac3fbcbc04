// Fuzz target for the Telnet side of remote serial ports: whatever a server sends, the data that
// comes out is never longer than what went in, the answers stay bounded, the way the stream is
// cut into reads does not change anything, and data escaped as a server sends it comes out again
// as it was.
#include "Rfc2217Codec.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what, int line) {
    std::fprintf(stderr, "link_rfc2217.cpp:%d: invariant broken: %s\n", line, what);
    std::abort();
}

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond)) fail(#cond, __LINE__);                                                        \
    } while (0)

using dmm::link::Rfc2217Codec;

struct Run {
    Rfc2217Codec::Bytes data, send;
    Rfc2217Codec::State state;
};

// The stream in reads of `cut` bytes (0: whole).
Run run(const std::uint8_t* bytes, std::size_t size, std::size_t cut) {
    Rfc2217Codec c;
    Run r;
    r.send = c.start({});
    const std::size_t opening = r.send.size();
    for (std::size_t at = 0; at < size;) {
        const std::size_t n = cut ? std::min(cut, size - at) : size;
        c.receive(bytes + at, n, r.data, r.send);
        at += n;
    }
    CHECK(r.data.size() <= size);
    // Three bytes answer a three-byte negotiation at most; the settings (at most 70 bytes) go out
    // once per agreement, and an agreement takes a DO (three bytes) after a DONT (three bytes).
    CHECK(r.send.size() - opening <= size + (size / 6 + 1) * 70);
    r.state = c.state();
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t cut = 1 + data[0] % 16;
    ++data;
    --size;
    const Run whole = run(data, size, 0);
    const Run pieces = run(data, size, cut);
    CHECK(whole.data == pieces.data);
    CHECK(whole.send == pieces.send);
    CHECK(whole.state == pieces.state);

    // The data escaped as a server sends it, then read again: the same bytes, nothing answered.
    Rfc2217Codec::Bytes wire;
    Rfc2217Codec::appendEscaped(wire, whole.data.data(), whole.data.size());
    Rfc2217Codec c;
    c.start({});
    Rfc2217Codec::Bytes again, send;
    c.receive(wire.data(), wire.size(), again, send);
    CHECK(again == whole.data);
    CHECK(send.empty());
    return 0;
}
