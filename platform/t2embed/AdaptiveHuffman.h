// The adaptive Huffman coder of the compressed stream, and the bit writer under it.
//
// The model must evolve exactly as the decoder's does: the same initial tree, the same
// training, and after every symbol the same weight update with the same node swaps (sibling
// order by weight, no rescaling). Any difference desynchronises the decoder at once.
#pragma once

#include "ByteIo.h"

#include <cstdint>
#include <vector>

namespace t2e {

// Bits are written most significant first; the last byte is padded with zeros.
class BitWriter {
public:
    void Write(std::uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i) Bit((value >> i) & 1);
    }
    void Bit(std::uint32_t bit)
    {
        m_acc = static_cast<std::uint8_t>((m_acc << 1) | bit);
        if (++m_used == 8) {
            m_out.push_back(m_acc);
            m_acc = 0;
            m_used = 0;
        }
    }
    Bytes Finish()
    {
        if (m_used) m_out.push_back(static_cast<std::uint8_t>(m_acc << (8 - m_used)));
        m_acc = 0;
        m_used = 0;
        return std::move(m_out);
    }
    size_t BitCount() const { return m_out.size() * 8 + m_used; }

private:
    Bytes m_out;
    std::uint8_t m_acc = 0;
    int m_used = 0;
};

class AdaptiveHuffman {
public:
    // range: the number of symbols, 0..range-1.
    explicit AdaptiveHuffman(int range);

    void Encode(int symbol, BitWriter& out);
    // The length in bits the symbol's code has now: the encoder's cost estimate.
    int CodeLength(int symbol) const;

private:
    struct Node {
        int up, left, right, code, weight;
    };
    static constexpr int kRoot = 1;

    void Update(int node);
    void Swap(int a, int b);

    std::vector<Node> m_tree;
    std::vector<int> m_leafOf;  // symbol -> node holding it
    std::vector<std::uint8_t> m_path;  // scratch for Encode
};

} // namespace t2e
