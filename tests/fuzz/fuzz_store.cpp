// links: mxr_store mxr_model
// libFuzzer target for the data store reader: any input either loads or fails with a message,
// and whatever loads is written and read back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "store/store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CCustomerDB db;
    const StoreOutcome out =
        LoadStoreFromBytes(db, std::string_view(reinterpret_cast<const char*>(data), size));
    if (!out.ok) {
        if (out.message.empty())
            std::abort();
        return 0;
    }
    const std::string saved = SaveStoreToBytes(db);
    CCustomerDB again;
    if (!LoadStoreFromBytes(again, saved).ok || SaveStoreToBytes(again) != saved)
        std::abort();
    return 0;
}
