// The sync state file: a header line, a few "key value" lines, then one line per record.
#include "shareddb/syncstate.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <vector>

#include "settings/inifile.h"

namespace shareddb {
namespace {

constexpr const char* kHeader = "mxrview-sync-state 1";

std::string toHex(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

bool fromHex(std::string_view hex, std::string& out)
{
    if (hex.size() % 2)
        return false;
    out.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        unsigned v = 0;
        auto [p, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, v, 16);
        if (ec != std::errc() || p != hex.data() + i + 2)
            return false;
        out += static_cast<char>(v);
    }
    return true;
}

bool parseHash(const std::string& hex, uint64_t& out)
{
    auto [p, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), out, 16);
    return ec == std::errc() && p == hex.data() + hex.size();
}

std::string_view hashText(uint64_t v, char (&buf)[17])
{
    auto [end, ec] = std::to_chars(buf, buf + 16, v, 16);
    return {buf, static_cast<std::size_t>(end - buf)};
}

} // namespace

SyncState ReadSyncState(const std::string& path)
{
    SyncState state;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != kHeader)
        return {};
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "database") {
            fields >> state.databaseId;
        } else if (kind == "store") {
            std::string hex;
            fields >> hex;
            if (!fromHex(hex, state.storePath))
                return {};
        } else if (kind == "identity") {
            FileIdentity& id = state.store;
            fields >> id.device >> id.inode >> id.size >> id.mtimeNs;
            id.exists = !fields.fail();
            if (!id.exists)
                id = FileIdentity();
        } else if (kind == "digest") {
            fields >> state.serverDigest;
        } else if (kind == "r") {
            std::string hexKey, hexHash, hexServer;
            SyncedRecord r;
            fields >> hexKey >> r.revision >> hexHash;
            std::string key;
            if (fields.fail() || !fromHex(hexKey, key) || !parseHash(hexHash, r.stateHash))
                return {};
            // Files of the first version have no server hash: the local one stands in for it.
            if (!(fields >> hexServer))
                r.serverHash = r.stateHash;
            else if (!parseHash(hexServer, r.serverHash))
                return {};
            state.records[key] = r;
        }
    }
    return state;
}

bool WriteSyncState(const std::string& path, const SyncState& state)
{
    std::ostringstream out;
    out << kHeader << '\n';
    out << "database " << state.databaseId << '\n';
    out << "store " << toHex(state.storePath) << '\n';
    if (state.store.exists)
        out << "identity " << state.store.device << ' ' << state.store.inode << ' '
            << state.store.size << ' ' << state.store.mtimeNs << '\n';
    if (!state.serverDigest.empty())
        out << "digest " << state.serverDigest << '\n';
    for (const auto& [key, r] : state.records) {
        char local[17], server[17];
        out << "r " << toHex(key) << ' ' << r.revision << ' ' << hashText(r.stateHash, local)
            << ' ' << hashText(r.serverHash, server) << '\n';
    }
    return writeFileAtomically(path, out.str());
}

} // namespace shareddb
