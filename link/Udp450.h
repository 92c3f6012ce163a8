// Datagrams of IEC 61162-450 bridge networks. Each begins with a header of
// five letters and a NUL: "UdPbC\0" before one or more sentences, each
// behind a tag block ("\s:EI9999,n:12,c:1423133110*hh\$GPHDT,…\r\n"); the
// others ("RaUdP", "RrUdP": binary transfers; "NkPgN": NMEA 2000 groups)
// carry no text. Some senders leave out the NUL after "UdPbC" and go straight
// on with the tag block; that is read too.
//
// Reading: how long a datagram's header is, and whether what follows is
// text. Writing: the datagram for one sentence, with a tag block naming this
// program's source identifier, a line count and the time. Nothing here needs
// Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct Udp450Header {
    enum class Kind : std::uint8_t {
        None,      // no 450 header: the datagram is text as it stands
        Sentences, // "UdPbC": the sentences after nLength bytes
        Other,     // another 450 header: no text in it
    };
    Kind kind = Kind::None;
    std::size_t nLength = 0; // of the header: where the text starts
};

Udp450Header ReadUdp450Header(const std::uint8_t* bytes, std::size_t count);

// Whether text may name this program in its tag blocks (s:): 1 to
// kMaxTagSource ASCII letters and digits.
bool IsUdp450Source(std::string_view text);

class CUdp450Writer {
public:
    static constexpr const char* kDefaultSource = "QM0001";
    static constexpr std::int64_t kMaxLine = 999; // n: runs 1 … 999, then 1 again

    // source must pass IsUdp450Source; another one is replaced by the default.
    explicit CUdp450Writer(std::string_view source = kDefaultSource);
    const std::string& Source() const { return m_strSource; }

    // The datagram for one received text line into out (replacing what it
    // held): the header, a tag block (s:, n:, c: in whole seconds of unixMs)
    // and the sentence ended by CR LF. A tag block the line came with is
    // replaced by ours. false, out left alone and no line counted, when the
    // line holds no sentence ('$' or '!') or its tag block does not hold.
    bool Datagram(std::string_view line, std::int64_t unixMs, std::string& out);

private:
    std::string m_strSource;
    std::int64_t m_nLine = 0; // the last one written
};
