#include "link/ReceiverMessage.h"

std::uint8_t CReceiverMessage::SumBytes(const std::uint8_t* p, int count) {
    unsigned sum = 0;
    for (int i = 0; i < count; ++i)
        sum += p[i];
    return static_cast<std::uint8_t>(sum);
}

bool CReceiverMessage::IsChecksumValid(const std::uint8_t* packet, int total) {
    if (total < 3)
        return false;
    return SumBytes(packet + 1, total - 3) == packet[total - 2];
}

int CCommandBuilder::Build(std::uint8_t type, std::uint8_t* out) {
    out[0] = CReceiverMessage::STX;
    out[1] = 0x00;
    out[2] = type;
    int length = 0;
    std::uint8_t* data = out + 4;
    switch (type) {
    case 0x54: // 'T'
        data[0] = 0x00, data[1] = 0x1C, data[2] = 0x00;
        length = 3;
        break;
    case 0x56: // 'V'
        data[0] = 0x01, data[1] = 0x00, data[2] = 0x00;
        length = 3;
        break;
    case 0x64: { // 'd'
        static constexpr std::uint8_t fixed[9] = {0x00, 0x00, 0x00, 0x03, 0x06,
                                                  0x01, 0x00, 0x07, 0x04};
        for (int i = 0; i < 9; ++i)
            data[i] = fixed[i];
        // Invert first: the flag starts set, so the first packet carries 00 00 00.
        const bool set = !m_bAlternate;
        m_bAlternate = set;
        data[9] = set ? 0x06 : 0x00;
        data[10] = 0x00;
        data[11] = set ? 0x03 : 0x00;
        data[12] = 0x00;
        length = 13;
        break;
    }
    default: // 0x06, 0x08, 'J', 'f' and anything else carry no data
        break;
    }
    out[3] = static_cast<std::uint8_t>(length);
    out[4 + length] = CReceiverMessage::SumBytes(out + 1, length + 3);
    out[5 + length] = CReceiverMessage::ETX;
    return length + 6;
}
