// What one user may see of a tree, and the resolution of a URL's ids within it.
#pragma once

#include <array>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "model/customerdb.h"
#include "reportrender.h"
#include "webusers.h"

namespace web {

// The logged-in user as the pages need it.
struct Viewer {
    std::string name; // UTF-8
    Role role = Role::Viewer;
    std::set<std::string> customers; // CP932 names a viewer may see

    static Viewer Of(const WebUser& u);
    bool Sees(const CCustomer& c) const;
};

// The customers the viewer may see, in tree order.
std::vector<const CCustomer*> VisibleCustomers(const CCustomerDB& tree, const Viewer& v);

// A path below the site or /api/: "c/<id>/k/<id>/s/<id>/m/<index>/<leaf>", each part optional
// from the end. Every id is resolved through the customers the viewer may see; a part that
// does not resolve makes the whole path unknown, so a viewer cannot tell another customer's
// entry from one that does not exist.
struct Resolved {
    const CCustomer* customer = nullptr;
    const CCable* cable = nullptr;
    const CMeasData* set = nullptr;
    const CMeasRecord* record = nullptr;
    std::size_t index = 0;
    std::string leaf; // what follows the deepest part ("history", "report.pdf", ...)

    RecordPlace Place() const { return {customer, cable, set, record, index}; }
};
std::optional<Resolved> Resolve(const CCustomerDB& tree, const Viewer& v, std::string_view path);

// The newest record of each phase of a cable, in the order R, S, T, 3-phase: by start time,
// and a record without a valid start time only when the phase has no dated one. A phase
// without a record has a null record.
struct LatestRecord {
    const CMeasRecord* record = nullptr;
    const CMeasData* set = nullptr;
    std::size_t index = 0;
};
std::array<LatestRecord, 4> LatestPerPhase(const CCable& cable);

// URLs of the entries (site-relative, ending in '/').
std::string CustomerUrl(const CCustomer& c);
std::string CableUrl(const CCustomer& c, const CCable& k);
std::string RecordUrl(const CCustomer& c, const CCable& k, const CMeasData& s, std::size_t index);

} // namespace web
