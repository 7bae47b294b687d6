// The message table of mxrtool and the choice of its language.
#include "toolmessages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "model/cp932text.h"

namespace {

struct Entry {
    ToolMsg id;
    const char* english;
    const char* japanese;
};

// Both languages side by side, so a message cannot be added in one and forgotten in the other.
constexpr Entry kTable[] = {
    {ToolMsg::UsageLead, "usage:", "使い方:"},
    {ToolMsg::NoCommand, "no command", "コマンドが指定されていません"},
    {ToolMsg::UnknownCommand, "unknown command %1", "%1 というコマンドはありません"},
    {ToolMsg::UnknownOption, "unknown option %1", "%1 というオプションはありません"},
    {ToolMsg::UnexpectedArgument, "unexpected argument %1", "余分な引数です: %1"},
    {ToolMsg::NeedsValue, "%1 needs a value", "%1 には値が必要です"},
    {ToolMsg::BadValue, "bad value for %1", "%1 の値が正しくありません"},
    {ToolMsg::BadValueGiven, "bad value for %1: %2", "%1 の値が正しくありません: %2"},
    {ToolMsg::Expected, "expected: %1", "指定のしかた: %1"},
    {ToolMsg::HomeNeedsFolder, "--home needs a folder", "--home にはフォルダーが必要です"},
    {ToolMsg::StoreNeedsSub, "store needs dump, resave, from-json, backups or restore",
     "store には dump、resave、from-json、backups、restore のどれかが必要です"},
    {ToolMsg::DecodeNeedsFile, "decode needs one replay file",
     "decode には受信記録ファイルを一つ指定してください"},
    {ToolMsg::ReceiveNeedsPort, "receive needs either --port N (1 or more) or --device PATH",
     "receive には --port N（1 以上）か --device PATH のどちらか一方が必要です"},
    {ToolMsg::EmulateNeedsOutput, "emulate needs one of --device PATH, --pty, --replay-out FILE",
     "emulate には --device PATH、--pty、--replay-out FILE のどれか一つが必要です"},
    {ToolMsg::RecordsOrBaud, "bad value for --records or --baud",
     "--records か --baud の値が正しくありません"},
    {ToolMsg::EncodingChoice, "--encoding needs cp932 or utf8bom",
     "--encoding には cp932 か utf8bom を指定してください"},
    {ToolMsg::IndexFromZero, "--index needs a record number from 0",
     "--index には 0 から始まる番号を指定してください"},
    {ToolMsg::ReportNeedsStore, "report needs a store file", "report にはデータファイルが必要です"},
    {ToolMsg::ReportNeedsRecord, "report needs --customer, --cable, --set and --index",
     "report には --customer、--cable、--set、--index が必要です"},
    {ToolMsg::ReportNeedsOutput, "report needs --pdf, --png or --screen-png",
     "report には --pdf、--png、--screen-png のどれかが必要です"},
    {ToolMsg::ReportNumbers, "--width, --axis and --start need positive numbers",
     "--width、--axis、--start には正の数を指定してください"},
    {ToolMsg::JobNeedsSelection, "report --job needs --customer and --from, --to or --sets",
     "report --job には --customer と --from、--to、--sets のどれかが必要です"},
    {ToolMsg::JobNeedsOutput, "report --job needs --pdf or --csv",
     "report --job には --pdf か --csv が必要です"},
    {ToolMsg::JobNoRecords, "no measurement of %1 is selected",
     "需要家 %1 に該当する測定データがありません"},
    {ToolMsg::NoCustomer, "no customer %1", "需要家 %1 はありません"},
    {ToolMsg::NoCable, "no cable %1", "ケーブル %1 はありません"},
    {ToolMsg::NoSet, "no measurement data set %1", "測定データ %1 はありません"},
    {ToolMsg::NoIndex, "the set holds %1 records, no index %2",
     "測定データは %1 件です。番号 %2 はありません"},
    {ToolMsg::NoPage, "no page %1 (the report has %2)", "%1 ページはありません（全 %2 ページ）"},
    {ToolMsg::CannotWrite, "cannot write %1", "%1 に書き込めません"},
    {ToolMsg::CannotOpen, "cannot open %1: %2", "%1 を開けません: %2"},
    {ToolMsg::NotAFile, "%1 is not a regular file", "%1 は通常のファイルではありません"},
    {ToolMsg::BadDumpDocument, "%1 is not a dump document: %2",
     "%1 はダンプの形式ではありません: %2"},
    {ToolMsg::CannotCreatePty, "cannot create a pseudo-terminal: %1",
     "疑似端末を作成できません: %1"},
    {ToolMsg::NoAppFolder, "no application folder", "アプリケーションフォルダーがありません"},
    {ToolMsg::MissingStoreIsEmpty,
     "%1 does not exist or is a folder: read as an empty store, as at start-up",
     "%1 は存在しないかフォルダーです: 起動時と同じく空のデータとして読みます"},
    {ToolMsg::StoreNotRead,
     "the data store %1 could not be read:", "データファイル %1 を読み込めませんでした:"},
    {ToolMsg::StoreNotWritten,
     "the data store %1 could not be written:", "データファイル %1 を保存できませんでした:"},
    {ToolMsg::CsvNotWritten,
     "the CSV file %1 could not be written:", "CSV ファイル %1 を出力できませんでした:"},
    {ToolMsg::ReceptionFailed, "the reception failed:", "受信に失敗しました:"},
    {ToolMsg::ReceptionCancelled, "the reception was cancelled", "受信を中断しました"},
    {ToolMsg::RestoreFailed, "the backup could not be restored: %1",
     "バックアップから復元できませんでした: %1"},
    {ToolMsg::ReplacedStoreKept, "the replaced store was kept as %1",
     "置き換える前のデータファイルを %1 として残しました"},
    {ToolMsg::RestoreNotJournaled,
     "the store was restored, but the change journal could not record it: %1",
     "データファイルは復元しましたが、変更履歴に記録できませんでした: %1"},
    {ToolMsg::WebUserNotChanged, "the web viewer's users were not changed: %1",
     "Web ビューアーのユーザーを変更できません: %1"},
    {ToolMsg::WebPasswordNeeded, "a password of 8 to 1024 bytes on standard input (--password-stdin)",
     "パスワード（8～1024 バイト）を標準入力から渡してください (--password-stdin)"},
    {ToolMsg::WebCustomerRules,
     "a viewer needs --customer (names of the store, without tabs); an admin takes none",
     "閲覧者には --customer（タブを含まない需要家名）が必要です。管理者には指定できません"},
    {ToolMsg::SetApproved,
     "the set %1 is approved: withdraw its approval before registering into it",
     "測定データ %1 は承認済みです。承認を取り消してから登録してください"},
    {ToolMsg::ApprovedSkipped, "%1 approved set(s) kept as approved: not recalculated",
     "承認済みの測定データ %1 件は再計算しませんでした"},
    {ToolMsg::FolderInUse,
     "MXRView is running on the application folder %1: quit it first, then run the command "
     "again (the command changes the data store MXRView has open)",
     "MXRView がアプリケーションフォルダー %1 を使用中です。このコマンドは MXRView が開いている"
     "データファイルを変更するため、MXRView を終了してからもう一度実行してください"},
    {ToolMsg::JournalKeptAside,
     "the workspace was damaged: it was kept as %1 and a new one started",
     "ワークスペースが壊れていたため %1 として残し、新しく作り直しました"},
    {ToolMsg::RegisterNeedsNames, "--register needs --customer C, --cable K and --set S",
     "--register には --customer C, --cable K, --set S が必要です"},
    {ToolMsg::NotRegistered, "nothing was registered:", "何も登録していません:"},
    {ToolMsg::IncompleteReception,
     "the reception was incomplete (records lost or damaged): nothing was registered",
     "受信が不完全です (欠落または異常なデータがあります): 何も登録していません"},
    {ToolMsg::NameNotUsable, "the name %1 cannot be used (too long, or not in CP932)",
     "名前 %1 は使用できません (長すぎるか CP932 にない文字があります)"},
    {ToolMsg::VerifyChanged, "%1 record(s) differ from their reception",
     "%1 件のデータが受信時と異なります"},
};

const Entry* find(ToolMsg id)
{
    for (const Entry& e : kTable)
        if (e.id == id)
            return &e;
    return nullptr;
}

void writeLine(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fprintf(stderr, "%s\n", bytes.constData());
}

} // namespace

bool JapaneseMessages()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return std::strncmp(value, "ja", 2) == 0 &&
                   (value[2] == '\0' || value[2] == '_' || value[2] == '.' || value[2] == '@');
    }
    return false;
}

QString ToolText(ToolMsg id, bool japanese, std::initializer_list<QString> args)
{
    const Entry* e = find(id);
    if (!e)
        return QString::number(static_cast<int>(id));
    // One pass over the text: a value that itself holds "%2" (a path) stays as it is.
    const QString format = QString::fromUtf8(japanese ? e->japanese : e->english);
    QString text;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const qsizetype n = i + 1 < format.size() ? format[i + 1].digitValue() : -1;
        if (format[i] == QLatin1Char('%') && n >= 1 && static_cast<std::size_t>(n) <= args.size()) {
            text += *(args.begin() + (n - 1));
            ++i;
        } else {
            text += format[i];
        }
    }
    return text;
}

QString ToolText(ToolMsg id, std::initializer_list<QString> args)
{
    return ToolText(id, JapaneseMessages(), args);
}

int ToolFailure(ToolMsg id, std::initializer_list<QString> args)
{
    ToolNote(id, args);
    return 1;
}

void ToolNote(ToolMsg id, std::initializer_list<QString> args)
{
    writeLine(QStringLiteral("mxrtool: ") + ToolText(id, args));
}

int ProgramFailure(ToolMsg lead, std::initializer_list<QString> args,
                   const std::string& cp932Message)
{
    ToolNote(lead, args);
    if (!cp932Message.empty())
        writeLine(QString::fromStdString(cp932::toUtf8(cp932Message)));
    return 1;
}
