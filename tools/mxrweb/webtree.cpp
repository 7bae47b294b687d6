// Visibility of customers and resolution of URL paths.
#include "webtree.h"

#include "analysis/phasebalance.h"
#include "model/cp932text.h"
#include "webids.h"

namespace web {

Viewer Viewer::Of(const WebUser& u)
{
    Viewer v{u.name, u.role, {}};
    for (const std::string& c : u.customers)
        if (const auto name = cp932::fromUtf8(c))
            v.customers.insert(*name);
    return v;
}

bool Viewer::Sees(const CCustomer& c) const
{
    return role == Role::Admin || customers.count(c.name) > 0;
}

std::vector<const CCustomer*> VisibleCustomers(const CCustomerDB& tree, const Viewer& v)
{
    std::vector<const CCustomer*> out;
    for (int i = 0; i < tree.customers.Count(); ++i)
        if (v.Sees(tree.customers.At(i)))
            out.push_back(&tree.customers.At(i));
    return out;
}

namespace {

// Splits off the next segment of path (without its '/'); empty at the end.
std::string_view next(std::string_view& path)
{
    const auto p = path.find('/');
    const std::string_view seg = path.substr(0, p);
    path = p == std::string_view::npos ? std::string_view() : path.substr(p + 1);
    return seg;
}

} // namespace

std::optional<Resolved> Resolve(const CCustomerDB& tree, const Viewer& v, std::string_view path)
{
    Resolved r;
    // Each level: its letter, then the id; anything else is the leaf of the level reached.
    const char* const letters[] = {"c", "k", "s", "m"};
    for (int level = 0; level < 4 && !path.empty(); ++level) {
        std::string_view rest = path;
        if (next(rest) != letters[level])
            break;
        const std::string_view id = next(rest);
        switch (level) {
        case 0: {
            const CCustomer* c = FindById(tree.customers, id);
            if (!c || !v.Sees(*c))
                return std::nullopt;
            r.customer = c;
            break;
        }
        case 1: r.cable = FindById(r.customer->cables, id); break;
        case 2: r.set = FindById(r.cable->sets, id); break;
        default: {
            const auto index = ParseIndex(id, r.set->RecordCount());
            if (!index)
                return std::nullopt;
            r.index = *index;
            r.record = &r.set->RecordAt(*index);
        }
        }
        if ((level == 1 && !r.cable) || (level == 2 && !r.set))
            return std::nullopt;
        path = rest;
    }
    if (path.find('/') != std::string_view::npos)
        return std::nullopt;
    r.leaf = std::string(path);
    return r;
}

std::array<LatestRecord, 4> LatestPerPhase(const CCable& cable)
{
    std::array<LatestRecord, 4> latest{};
    for (int s = 0; s < cable.sets.Count(); ++s) {
        const CMeasData& set = cable.sets.At(s);
        for (std::size_t i = 0; i < set.RecordCount(); ++i) {
            const CMeasRecord& r = set.RecordAt(i);
            const analysis::Phase p = analysis::RecordPhase(r);
            if (p == analysis::Phase::None)
                continue;
            LatestRecord& l = latest[static_cast<std::size_t>(p)];
            const bool dated = r.StartTime.status == OleDateTime::Valid;
            const bool lDated = l.record && l.record->StartTime.status == OleDateTime::Valid;
            if (!l.record || (dated && (!lDated || r.StartTime.date >= l.record->StartTime.date)) ||
                (!dated && !lDated))
                l = {&r, &set, i};
        }
    }
    return latest;
}

std::string CustomerUrl(const CCustomer& c)
{
    return "/c/" + NameId(c.name) + "/";
}

std::string CableUrl(const CCustomer& c, const CCable& k)
{
    return CustomerUrl(c) + "k/" + NameId(k.name) + "/";
}

std::string RecordUrl(const CCustomer& c, const CCable& k, const CMeasData& s, std::size_t index)
{
    return CableUrl(c, k) + "s/" + NameId(s.name) + "/m/" + std::to_string(index) + "/";
}

} // namespace web
