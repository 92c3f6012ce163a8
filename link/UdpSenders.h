// Who sends a UDP source's datagrams, and who may.
//
// A UDP port takes datagrams from any host that can reach it: a source
// without a list trusts its whole network. Its URL may name the senders to
// take (udp://:10110?from=127.0.0.1,10.1.0.0/16); datagrams from the others
// are counted and dropped before the framer, never recorded. Senders are
// known by their address alone (a sender's port changes as it restarts). The
// first kMaxSenders are counted one by one, later ones together, so that a
// flood of forged addresses costs a fixed amount of memory.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sockaddr_storage;

// An IPv4 or IPv6 address; an IPv4-mapped IPv6 one counts as the IPv4 one.
struct SenderAddress {
    bool v6 = false;
    std::array<std::uint8_t, 16> bytes{}; // IPv4: the first four
    static SenderAddress From(const sockaddr_storage& address);
    std::string Text() const;
    bool operator==(const SenderAddress&) const = default;
};

// An address with the number of its leading bits that must match.
struct AddressPrefix {
    SenderAddress network;
    int bits = 32;
    // "10.1.0.0/16", "127.0.0.1", "fd00::/8", "::1" or "[::1]"; false when
    // text is none of these.
    static bool Parse(std::string_view text, AddressPrefix* prefix);
    bool Contains(const SenderAddress& address) const;
    // "10.1.0.0/16", or the address alone when every bit counts.
    std::string Text() const;
};

// "127.0.0.1,10.1.0.0/16" into list; false with the first item that is no
// address or prefix in *bad.
bool ParseSenderList(std::string_view text, std::vector<AddressPrefix>* list, std::string* bad);
// The list as ParseSenderList reads it, each item in its plain form.
std::string SenderListText(const std::vector<AddressPrefix>& list);

class CUdpSenders {
public:
    static constexpr int kMaxSenders = 16;

    struct Sender {
        SenderAddress address;
        bool accepted = true;
        std::uint64_t datagrams = 0;
    };
    // What a datagram's sender was to the table.
    enum class Heard { Before, First, Unlisted, FirstUnlisted };

    // Counts a datagram from address, taken or refused.
    Heard Count(const SenderAddress& address, bool accepted);

    int Senders() const { return m_nSenders; }
    const Sender& At(int i) const { return m_senders[static_cast<std::size_t>(i)]; }
    // Datagrams of senders beyond the table's, and those refused for their sender.
    std::uint64_t UnlistedDatagrams() const { return m_nUnlisted; }
    std::uint64_t RefusedDatagrams() const { return m_nRefused; }

private:
    std::array<Sender, kMaxSenders> m_senders{};
    int m_nSenders = 0;
    std::uint64_t m_nUnlisted = 0;
    std::uint64_t m_nRefused = 0;
};
