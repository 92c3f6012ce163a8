#include "link/UdpSenders.h"

#include <arpa/inet.h>
#include <charconv>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

SenderAddress SenderAddress::From(const sockaddr_storage& address) {
    SenderAddress sender;
    if (address.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        std::memcpy(sender.bytes.data(), &in.sin_addr, 4);
        return sender;
    }
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
    if (IN6_IS_ADDR_V4MAPPED(&in6.sin6_addr)) {
        std::memcpy(sender.bytes.data(), in6.sin6_addr.s6_addr + 12, 4);
        return sender;
    }
    sender.v6 = true;
    std::memcpy(sender.bytes.data(), in6.sin6_addr.s6_addr, 16);
    return sender;
}

std::string SenderAddress::Text() const {
    char text[INET6_ADDRSTRLEN] = "";
    inet_ntop(v6 ? AF_INET6 : AF_INET, bytes.data(), text, sizeof text);
    return text;
}

bool AddressPrefix::Parse(std::string_view text, AddressPrefix* prefix) {
    AddressPrefix parsed;
    std::string_view address = text;
    const std::size_t slash = text.find('/');
    if (slash != std::string_view::npos)
        address = text.substr(0, slash);
    if (address.size() > 2 && address.front() == '[' && address.back() == ']')
        address = address.substr(1, address.size() - 2);
    const std::string host(address);
    if (inet_pton(AF_INET, host.c_str(), parsed.network.bytes.data()) != 1) {
        if (inet_pton(AF_INET6, host.c_str(), parsed.network.bytes.data()) != 1)
            return false;
        parsed.network.v6 = true;
    }
    const int most = parsed.network.v6 ? 128 : 32;
    parsed.bits = most;
    if (slash != std::string_view::npos) {
        const std::string_view bits = text.substr(slash + 1);
        const auto [end, ec] = std::from_chars(bits.data(), bits.data() + bits.size(), parsed.bits);
        if (bits.empty() || ec != std::errc() || end != bits.data() + bits.size() ||
            parsed.bits < 0 || parsed.bits > most)
            return false;
    }
    // The bits past the prefix mean nothing: "10.1.2.3/16" is 10.1.0.0/16.
    for (int bit = parsed.bits; bit < most; ++bit)
        parsed.network.bytes[static_cast<std::size_t>(bit / 8)] &=
            static_cast<std::uint8_t>(~(0x80u >> (bit % 8)));
    *prefix = parsed;
    return true;
}

bool AddressPrefix::Contains(const SenderAddress& address) const {
    if (address.v6 != network.v6)
        return false;
    const std::size_t whole = static_cast<std::size_t>(bits / 8);
    if (std::memcmp(address.bytes.data(), network.bytes.data(), whole) != 0)
        return false;
    const int rest = bits % 8;
    if (rest == 0)
        return true;
    const auto mask = static_cast<std::uint8_t>(0xFFu << (8 - rest));
    return (address.bytes[whole] & mask) == network.bytes[whole];
}

std::string AddressPrefix::Text() const {
    const int most = network.v6 ? 128 : 32;
    return bits == most ? network.Text() : network.Text() + "/" + std::to_string(bits);
}

bool ParseSenderList(std::string_view text, std::vector<AddressPrefix>* list, std::string* bad) {
    std::vector<AddressPrefix> parsed;
    for (std::size_t at = 0;;) {
        const std::size_t comma = text.find(',', at);
        const std::string_view item =
            text.substr(at, comma == std::string_view::npos ? comma : comma - at);
        AddressPrefix prefix;
        if (!AddressPrefix::Parse(item, &prefix)) {
            if (bad)
                *bad = item;
            return false;
        }
        parsed.push_back(prefix);
        if (comma == std::string_view::npos)
            break;
        at = comma + 1;
    }
    *list = std::move(parsed);
    return true;
}

std::string SenderListText(const std::vector<AddressPrefix>& list) {
    std::string text;
    for (const AddressPrefix& prefix : list)
        text += (text.empty() ? "" : ",") + prefix.Text();
    return text;
}

CUdpSenders::Heard CUdpSenders::Count(const SenderAddress& address, bool accepted) {
    if (!accepted)
        ++m_nRefused;
    for (int i = 0; i < m_nSenders; ++i) {
        Sender& sender = m_senders[static_cast<std::size_t>(i)];
        if (sender.address == address) {
            ++sender.datagrams;
            return Heard::Before;
        }
    }
    if (m_nSenders == kMaxSenders)
        return m_nUnlisted++ == 0 ? Heard::FirstUnlisted : Heard::Unlisted;
    m_senders[static_cast<std::size_t>(m_nSenders++)] = {address, accepted, 1};
    return Heard::First;
}
