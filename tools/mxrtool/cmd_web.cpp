// web user add | passwd | remove | list: the web viewer's users, in the users file beside a
// store (--store FILE) or in the shared database (--db), with JSON output. Password hashes are
// never printed.
#include <QFile>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "commands.h"
#include "jsonout.h"
#include "model/cp932text.h"
#include "shareddb/dbsettings.h"
#include "storesetup.h"
#include "toolmessages.h"
#include "webusers.h"

namespace {

constexpr const char* kForm =
    "web user (add NAME --role admin|viewer [--customer C]... | passwd NAME | remove NAME | list) "
    "(--store FILE | --db) [--password-stdin]";

struct WebArgs {
    QString sub, name, store, role;
    QStringList customers;
    bool db = false;
    bool passwordStdin = false;
};

std::optional<QString> parse(const QStringList& args, WebArgs& a)
{
    if (args.size() < 2 || args[0] != "user")
        return ToolText(ToolMsg::Expected, {QString::fromLatin1(kForm)});
    a.sub = args[1];
    for (int i = 2; i < args.size(); ++i) {
        const QString& o = args[i];
        if (o == "--db") {
            a.db = true;
        } else if (o == "--password-stdin") {
            a.passwordStdin = true;
        } else if (o == "--store" || o == "--role" || o == "--customer") {
            if (i + 1 >= args.size())
                return ToolText(ToolMsg::NeedsValue, {o});
            const QString v = args[++i];
            (o == "--store" ? a.store : o == "--role" ? a.role : a.customers.emplaceBack()) = v;
        } else if (o.startsWith("--")) {
            return ToolText(ToolMsg::UnknownOption, {o});
        } else if (a.name.isEmpty()) {
            a.name = o;
        } else {
            return ToolText(ToolMsg::UnexpectedArgument, {o});
        }
    }
    const bool named = a.sub == "add" || a.sub == "passwd" || a.sub == "remove";
    if ((!named && a.sub != "list") || named == a.name.isEmpty() || a.db == !a.store.isEmpty() ||
        (a.sub != "add" && (!a.role.isEmpty() || !a.customers.isEmpty())))
        return ToolText(ToolMsg::Expected, {QString::fromLatin1(kForm)});
    if (named && !web::ValidUserName(a.name.toStdString()))
        return ToolText(ToolMsg::BadValueGiven, {QStringLiteral("NAME"), a.name});
    if (a.sub == "add") {
        if (a.role != "admin" && a.role != "viewer")
            return ToolText(ToolMsg::BadValueGiven, {QStringLiteral("--role"), a.role});
        bool fits = (a.role == "viewer") != a.customers.isEmpty();
        for (const QString& c : a.customers)
            fits = fits && !c.isEmpty() && !c.contains('\t') && !c.contains('\n') &&
                   !c.contains('\r') && cp932::fromUtf8(c.toStdString()).has_value();
        if (!fits)
            return ToolText(ToolMsg::WebCustomerRules);
    }
    if ((a.sub == "add" || a.sub == "passwd") && !a.passwordStdin)
        return ToolText(ToolMsg::WebPasswordNeeded);
    return std::nullopt;
}

// One line of standard input without its line break.
std::optional<std::string> readPassword()
{
    std::string line;
    if (!std::getline(std::cin, line))
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() < 8 || line.size() > 1024)
        return std::nullopt;
    return line;
}

void writeUser(JsonOut::Scope&& o, const web::WebUser& u)
{
    o.string("name", u.name);
    o.string("role", web::RoleKey(u.role));
    JsonOut::Scope customers = o.array("customers", JsonOut::Layout::Inline);
    for (const std::string& c : u.customers)
        customers.string(c);
}

void print(const JsonOut& j)
{
    std::fwrite(j.text.data(), 1, j.text.size(), stdout);
    std::fputc('\n', stdout);
}

} // namespace

int runWebCommand(const ToolContext& ctx, const QStringList& args)
{
    WebArgs a;
    if (const auto problem = parse(args, a))
        return usageError(*problem);
    std::unique_ptr<web::UserStore> users;
    if (a.db) {
        const std::optional<StoreSetup> setup = ReadStoreSetup(ctx);
        users = std::make_unique<web::DbUserStore>(
            shareddb::ReadDbSettings(setup ? setup->iniPath : std::string()));
    } else {
        users = std::make_unique<web::FileUserStore>(
            web::UsersFileFor(QFile::encodeName(a.store).toStdString()));
    }
    const std::string name = a.name.toStdString();
    std::string error;
    using Layout = JsonOut::Layout;
    JsonOut j;
    if (a.sub == "list") {
        std::vector<web::WebUser> all;
        if (!users->Load(all, error))
            return ToolFailure(ToolMsg::WebUserNotChanged, {QString::fromStdString(error)});
        {
            JsonOut::Scope doc = j.object(Layout::Lines);
            JsonOut::Scope list = doc.array("users", Layout::Lines);
            for (const web::WebUser& u : all)
                writeUser(list.object(Layout::Inline), u);
        }
        print(j);
        return 0;
    }
    std::optional<web::WebUser> user;
    if (a.sub == "remove") {
        if (!users->Remove(name, error))
            return ToolFailure(ToolMsg::WebUserNotChanged, {QString::fromStdString(error)});
    } else {
        const std::optional<std::string> password = readPassword();
        if (!password)
            return usageError(ToolMsg::WebPasswordNeeded);
        if (a.sub == "add") {
            user = web::WebUser{name, *web::RoleFromKey(a.role.toStdString()), {}, {}};
            for (const QString& c : a.customers)
                user->customers.push_back(c.toStdString());
        } else {
            user = users->Find(name, error);
            if (!user)
                return ToolFailure(
                    ToolMsg::WebUserNotChanged,
                    {QString::fromStdString(error.empty() ? "no such user: " + name : error)});
        }
        user->passwordHash = web::HashPassword(*password);
        const bool ok = !user->passwordHash.empty() &&
                        (a.sub == "add" ? users->Add(*user, error) : users->Update(*user, error));
        if (!ok)
            return ToolFailure(ToolMsg::WebUserNotChanged, {QString::fromStdString(error)});
    }
    {
        JsonOut::Scope doc = j.object(Layout::Inline);
        doc.boolean("ok", true);
        doc.string(a.sub.toStdString() == "remove" ? "removed" : "user", name);
        if (user) {
            doc.string("role", web::RoleKey(user->role));
            JsonOut::Scope customers = doc.array("customers", Layout::Inline);
            for (const std::string& c : user->customers)
                customers.string(c);
        }
    }
    print(j);
    return 0;
}
