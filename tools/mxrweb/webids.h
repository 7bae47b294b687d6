// Stable ids of the tree's names in the web viewer's URLs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/customerdb.h"

namespace web {

// 16 hex digits of a BLAKE2b (unkeyed) hash of the name's CP932 bytes: the same name gives
// the same id in every run and every copy of the store, so a URL can be bookmarked and shared.
// An id says nothing about whether its reader may see the entry: every lookup goes through the
// user's customers (see WebTree).
std::string NameId(std::string_view cp932Name);

// The entry of list whose name has the id; nothing when none has it (or the id is not 16 hex
// digits).
template <class T> const T* FindById(const CNamedList<T>& list, std::string_view id)
{
    if (id.size() != 16)
        return nullptr;
    for (int i = 0; i < list.Count(); ++i)
        if (NameId(list.At(i).name) == id)
            return &list.At(i);
    return nullptr;
}

// A non-negative decimal index below limit, without sign, spaces or leading zeros.
std::optional<std::size_t> ParseIndex(std::string_view text, std::size_t limit);

} // namespace web
