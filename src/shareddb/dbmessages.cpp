// The failure texts of the shared database.
#include "shareddb/dbmessages.h"

namespace shareddb {
namespace {

// The server's text is kept whole, up to a length a message box can show.
constexpr std::size_t kMaxDetail = 800;

std::string quoted(const std::string& name)
{
    return "「" + name + "」";
}

std::string advice(const DbSettings& db, const PgError& e)
{
    const std::string t = std::to_string(db.timeoutSeconds);
    switch (e.kind()) {
    case PgFailure::Unreachable:
        return "サーバーが起動しているか、MXRView.INI の [SharedDB] の host と port、"
               "ネットワークを確認してください。";
    case PgFailure::ConnectTimeout:
        return "サーバーが " + t +
               " 秒以内に応答しませんでした。サーバーが起動しているか、[SharedDB] の host と "
               "port、ネットワークを確認してください。";
    case PgFailure::NoPassword:
        if (!e.note.empty())
            return "パスワードファイルが使われませんでした（ほかのユーザーも読める権限のため）。"
                   "パスワードファイルの権限を 0600（chmod 600）にしてください。";
        return "サーバーがパスワードを求めていますが、パスワードがありません。~/.pgpass"
               "（権限 0600）か環境変数 PGPASSWORD にパスワードを設定してください。";
    case PgFailure::WrongPassword:
        return "ユーザー" + quoted(e.user) +
               "のパスワードが違います。[SharedDB] の user と、~/.pgpass か PGPASSWORD の"
               "パスワードを確認してください。";
    case PgFailure::NotAllowed:
        return "サーバーがユーザー" + quoted(e.user) +
               "のこの端末からの接続を許可していません。[SharedDB] の user と、サーバーの接続"
               "許可（pg_hba.conf）とユーザーの登録を管理者に確認してください。";
    case PgFailure::UnknownDatabase:
        return "サーバーにデータベース" + quoted(e.database) +
               "がありません。[SharedDB] の database を確認してください。";
    case PgFailure::PermissionDenied:
        return e.connecting ? "ユーザー" + quoted(e.user) +
                                  "にはこのデータベースに接続する権限がありません。管理者に権限を"
                                  "確認してください。"
                            : "ユーザーに同期に必要な権限（テーブルの読み書き）がありません。"
                              "管理者に権限を確認してください。";
    case PgFailure::LockTimeout:
        return "ほかの端末が同じ測定データを同期しているため、" + t +
               " 秒待っても順番が来ませんでした。しばらくしてから、もう一度同期してください。";
    case PgFailure::StatementTimeout:
        return "サーバーの処理が " + t +
               " 秒以内に終わりませんでした。サーバーの負荷を確認するか、[SharedDB] の timeout "
               "を長くしてください。";
    case PgFailure::NoResponse:
        return "サーバーが " + t +
               " 秒以上応答しません。サーバーとネットワークの状態を確認してください。";
    case PgFailure::ConnectionLost:
        return "サーバーとの接続が途中で切れました。サーバーとネットワークを確認してから、"
               "もう一度同期してください。";
    case PgFailure::Cancelled: return "中止しました。";
    case PgFailure::NoSchema:
    case PgFailure::None:
    case PgFailure::Other: break;
    }
    return "[SharedDB] の設定とサーバーの状態を確認してください。";
}

} // namespace

const char* FailureCode(PgFailure kind)
{
    switch (kind) {
    case PgFailure::None: return "";
    case PgFailure::Other: return "other";
    case PgFailure::Unreachable: return "unreachable";
    case PgFailure::ConnectTimeout: return "connectTimeout";
    case PgFailure::NoPassword: return "noPassword";
    case PgFailure::WrongPassword: return "wrongPassword";
    case PgFailure::NotAllowed: return "notAllowed";
    case PgFailure::UnknownDatabase: return "unknownDatabase";
    case PgFailure::PermissionDenied: return "permissionDenied";
    case PgFailure::LockTimeout: return "lockTimeout";
    case PgFailure::StatementTimeout: return "statementTimeout";
    case PgFailure::NoResponse: return "noResponse";
    case PgFailure::ConnectionLost: return "connectionLost";
    case PgFailure::Cancelled: return "cancelled";
    case PgFailure::NoSchema: return "noSchema";
    }
    return "other";
}

std::string FailureMessage(const DbSettings& db, const PgError& e)
{
    std::string text = e.connecting
                           ? "共有データベースに接続できません（" + db.Describe() + "）。\n"
                           : std::string("共有データベースとの同期に失敗しました。\n");
    text += advice(db, e);
    if (!e.connecting && e.kind() != PgFailure::Cancelled)
        text += "\nデータファイルは変更していません。送信を終えた測定データセットはサーバーに"
                "残り、次の同期で続きを同期します。";
    std::string detail = e.what();
    if (!e.note.empty())
        detail = e.note + (detail.empty() ? "" : "\n" + detail);
    if (detail.size() > kMaxDetail) {
        std::size_t cut = kMaxDetail;
        while (cut > 0 && (static_cast<unsigned char>(detail[cut]) & 0xC0) == 0x80)
            --cut; // not inside a UTF-8 character
        detail = detail.substr(0, cut) + "…";
    }
    if (!detail.empty())
        text += "\n\n詳細:\n" + detail;
    return text;
}

} // namespace shareddb
