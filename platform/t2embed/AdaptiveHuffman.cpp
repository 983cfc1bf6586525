#include "AdaptiveHuffman.h"

#include <utility>

namespace t2e {

AdaptiveHuffman::AdaptiveHuffman(int range) : m_tree(size_t(2 * range)), m_leafOf(size_t(range))
{
    for (int i = 2; i < 2 * range; ++i) {
        m_tree[i].up = i / 2;
        m_tree[i].weight = 1;
    }
    for (int i = 1; i < range; ++i) {
        m_tree[i].left = 2 * i;
        m_tree[i].right = 2 * i + 1;
        m_tree[i].code = -1;
    }
    for (int s = 0; s < range; ++s) {
        m_tree[range + s].code = s;
        m_tree[range + s].left = m_tree[range + s].right = -1;
        m_leafOf[s] = range + s;
    }
    for (int i = range - 1; i >= 1; --i) m_tree[i].weight = m_tree[2 * i].weight + m_tree[2 * i + 1].weight;
    m_tree[0].weight = 0;
    m_tree[kRoot].up = 0;

    if (range > 256 && range < 512) {
        // The symbol coder starts out expecting copies and the two shortest repeats.
        const int dup2 = range - 3;
        Update(m_leafOf[256]);
        Update(m_leafOf[257]);
        for (int i = 0; i < 12; ++i) Update(m_leafOf[dup2]);
        for (int i = 0; i < 6; ++i) Update(m_leafOf[dup2 + 1]);
    } else {
        for (int pass = 0; pass < 2; ++pass) {
            for (int s = 0; s < range; ++s) Update(m_leafOf[s]);
        }
    }
}

void AdaptiveHuffman::Swap(int a, int b)
{
    const int upA = m_tree[a].up, upB = m_tree[b].up;
    std::swap(m_tree[a], m_tree[b]);
    m_tree[a].up = upA;
    m_tree[b].up = upB;
    for (int n : {a, b}) {
        if (m_tree[n].code < 0) {
            m_tree[m_tree[n].left].up = n;
            m_tree[m_tree[n].right].up = n;
        } else {
            m_leafOf[m_tree[n].code] = n;
        }
    }
}

void AdaptiveHuffman::Update(int a)
{
    for (; a != kRoot; a = m_tree[a].up) {
        const int weight = m_tree[a].weight;
        int b = a - 1;
        if (m_tree[b].weight == weight) {
            // The lowest-numbered node of the same weight takes the incremented one's place,
            // which keeps the nodes ordered by weight. The root outweighs every other node, so
            // the walk stops above it.
            do {
                --b;
            } while (m_tree[b].weight == weight);
            ++b;
            if (b > kRoot) {
                Swap(a, b);
                a = b;
            }
        }
        ++m_tree[a].weight;
    }
    ++m_tree[a].weight;
}

void AdaptiveHuffman::Encode(int symbol, BitWriter& out)
{
    m_path.clear();
    const int leaf = m_leafOf[symbol];
    for (int a = leaf; a != kRoot; a = m_tree[a].up) {
        m_path.push_back(m_tree[m_tree[a].up].right == a ? 1 : 0);
    }
    for (auto it = m_path.rbegin(); it != m_path.rend(); ++it) out.Bit(*it);
    Update(leaf);
}

int AdaptiveHuffman::CodeLength(int symbol) const
{
    int depth = 0;
    for (int a = m_leafOf[symbol]; a != kRoot; a = m_tree[a].up) ++depth;
    return depth;
}

} // namespace t2e
