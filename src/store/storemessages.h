// The texts LoadStore and SaveStore give the user, and the outcome of a failed stream.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "store/store.h"

namespace mxrstore {

// "ファイルを開くことが出来ません\n<path>"; the path is shown as the caller gave it.
StoreOutcome OpenFailedOutcome(std::string_view displayPath);
// A changed store could not be kept aside before a save, so it was not replaced:
// "変更されたデータファイルを退避できないため保存しませんでした\n<path>".
StoreOutcome KeptAsideFailedOutcome(std::string_view displayPath);
// Messages 131 and 130.
StoreOutcome BadSignatureOutcome();
StoreOutcome BadVersionOutcome(int32_t version);
// The three-line message "%s\n%s\n%s(%d)" for an exception thrown while the stream was read
// or written: the kind, the description (at most 99 bytes), the source position.
StoreOutcome StreamFailureOutcome(const std::exception_ptr& failure);

} // namespace mxrstore
