// CNamedList: the sorted, name-keyed list of customers, cables and measurement data sets.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

// A byte of a name as names compare: the ASCII letters A-Z folded to lower case.
inline unsigned char FoldNameByte(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Compares two CP932 names byte by byte as unsigned values, folding only the ASCII letters
// A-Z to lower case; a shorter name that is a prefix of the other sorts first. Double-byte
// characters are not folded, so full-width letters of different case are different names.
inline int CompareNames(std::string_view a, std::string_view b)
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = FoldNameByte(static_cast<unsigned char>(a[i]));
        const unsigned char y = FoldNameByte(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

// Elements live in slots; `order` lists the slot of each position, sorted by name under
// CompareNames, and `free` is a stack of slots released by RemoveAt. An element type T has a
// CP932 `name` member and a Clear() that empties it (the state of a free slot).
//
// References returned by At() stay valid until the next FindOrInsert, RemoveAll or CopyFrom
// (a new slot may move the elements). Copying a list copies every element deeply and compacts
// it (slot i holds position i, no free slots), as CopyFrom does.
template <class T> class CNamedList {
public:
    CNamedList() = default;
    CNamedList(const CNamedList& other) { CopyFrom(other); }
    CNamedList& operator=(const CNamedList& other)
    {
        if (this != &other)
            CopyFrom(other);
        return *this;
    }
    CNamedList(CNamedList&&) noexcept = default;
    CNamedList& operator=(CNamedList&&) noexcept = default;

    int Count() const { return static_cast<int>(m_order.size()); }

    // The element at position p (0 <= p < Count()).
    T& At(int p)
    {
        return m_slots[static_cast<std::size_t>(m_order.at(static_cast<std::size_t>(p)))];
    }
    const T& At(int p) const
    {
        return m_slots[static_cast<std::size_t>(m_order.at(static_cast<std::size_t>(p)))];
    }

    // Position of the element whose name compares equal, or -1.
    int Find(std::string_view name) const
    {
        int at = 0;
        return search(name, at) ? at : -1;
    }

    // The position of an equal name (existed = true, nothing changes), or of a new empty
    // element with this name inserted at its sorted place (existed = false). A new element
    // reuses the most recently freed slot when there is one.
    int FindOrInsert(std::string_view name, bool* existed = nullptr)
    {
        int at = 0;
        const bool found = search(name, at);
        if (existed)
            *existed = found;
        if (found)
            return at;
        int32_t slot;
        if (!m_free.empty()) {
            slot = m_free.back();
            m_free.pop_back();
            m_slots[static_cast<std::size_t>(slot)].Clear();
        } else {
            slot = static_cast<int32_t>(m_slots.size());
            m_slots.emplace_back();
        }
        m_slots[static_cast<std::size_t>(slot)].name = std::string(name);
        m_order.insert(m_order.begin() + at, slot);
        return at;
    }

    // Removes position p: its element is emptied and its slot goes on the free stack.
    void RemoveAt(int p)
    {
        const int32_t slot = m_order.at(static_cast<std::size_t>(p));
        m_order.erase(m_order.begin() + p);
        m_slots[static_cast<std::size_t>(slot)].Clear();
        m_free.push_back(slot);
    }

    void RemoveAll()
    {
        m_slots = std::vector<T>();
        m_order = std::vector<int32_t>();
        m_free = std::vector<int32_t>();
    }

    // RemoveAll, then deep copies of the other list's elements in position order.
    void CopyFrom(const CNamedList& other)
    {
        if (this == &other)
            return;
        RemoveAll();
        const int n = other.Count();
        m_slots.reserve(static_cast<std::size_t>(n));
        m_order.reserve(static_cast<std::size_t>(n));
        for (int p = 0; p < n; ++p) {
            m_slots.push_back(other.At(p));
            m_order.push_back(p);
        }
    }

    // Replaces the contents with elements as they were read from a file: the same result as
    // putting each in turn under its name with FindOrInsert and overwriting the entry (so of
    // equal names the last one wins, name included), but in O(n log n) whatever the order of
    // the input, where single insertions would move the order array n times.
    void AssignFrom(std::vector<T>&& elements)
    {
        RemoveAll();
        std::vector<int32_t> byName(elements.size());
        std::iota(byName.begin(), byName.end(), 0);
        std::stable_sort(byName.begin(), byName.end(), [&](int32_t a, int32_t b) {
            return CompareNames(elements[static_cast<std::size_t>(a)].name,
                                elements[static_cast<std::size_t>(b)].name) < 0;
        });
        m_slots.reserve(elements.size());
        m_order.reserve(elements.size());
        for (std::size_t i = 0; i < byName.size(); ++i) {
            const bool lastOfEqual =
                i + 1 == byName.size() ||
                CompareNames(elements[static_cast<std::size_t>(byName[i])].name,
                             elements[static_cast<std::size_t>(byName[i + 1])].name) != 0;
            if (!lastOfEqual)
                continue;
            m_order.push_back(static_cast<int32_t>(m_slots.size()));
            m_slots.push_back(std::move(elements[static_cast<std::size_t>(byName[i])]));
        }
    }

    // Inspection of the slot structure (slot numbers are otherwise never exposed).
    int SlotOf(int p) const { return m_order.at(static_cast<std::size_t>(p)); }
    int SlotCount() const { return static_cast<int>(m_slots.size()); }
    int FreeCount() const { return static_cast<int>(m_free.size()); }

    // Equal when the same elements are at the same positions (slots do not matter).
    bool operator==(const CNamedList& other) const
    {
        if (Count() != other.Count())
            return false;
        for (int p = 0; p < Count(); ++p)
            if (!(At(p) == other.At(p)))
                return false;
        return true;
    }

private:
    // Binary search over the positions: true with the position of an equal name, otherwise
    // false with the insertion position.
    bool search(std::string_view key, int& at) const
    {
        int lo = 0, hi = Count() - 1;
        while (lo <= hi) {
            const int mid = lo + (hi - lo) / 2;
            const int r = CompareNames(At(mid).name, key);
            if (r > 0) {
                hi = mid - 1;
            } else if (r < 0) {
                lo = mid + 1;
            } else {
                at = mid;
                return true;
            }
        }
        at = lo;
        return false;
    }

    std::vector<T> m_slots;
    std::vector<int32_t> m_order; // m_order[p]: slot of position p
    std::vector<int32_t> m_free;  // released slots, most recent last
};
