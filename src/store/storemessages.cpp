// Message texts of the data store.
#include "store/storemessages.h"

#include <cstring>
#include <new>

#include "model/cp932text.h"
#include "model/number.h"
#include "store/archive.h"

namespace mxrstore {
namespace {

// Source position shown in the third line of a stream failure; kept as users and support
// staff know it from earlier versions of the program.
constexpr const char* kSourcePosition = ".\\DAT_CUSTOMER";
constexpr int kSourceLine = 180;
constexpr std::size_t kMaxDescription = 99;

StoreOutcome failure(StoreStatus status, std::string message)
{
    StoreOutcome out;
    out.ok = false;
    out.status = status;
    out.message = std::move(message);
    return out;
}

std::string threeLines(std::string_view kindUtf8, const std::string& description)
{
    const std::string cut = cp932::cutToBytes(description, kMaxDescription);
    return formatC("%s\n%s\n%s(%d)", cp932::lit(kindUtf8).c_str(), cut.c_str(), kSourcePosition,
                   kSourceLine);
}

std::string errnoName(int err)
{
    const char* name = strerrorname_np(err);
    return name ? std::string(name) : formatC("errno %d", err);
}

} // namespace

StoreOutcome OpenFailedOutcome(std::string_view displayPath)
{
    // Paths are UTF-8 here; shown in CP932 when they have that form, else as they are.
    const auto path = cp932::fromUtf8(displayPath);
    return failure(StoreStatus::OpenFailed, cp932::lit("ファイルを開くことが出来ません\n") +
                                                (path ? *path : std::string(displayPath)));
}

StoreOutcome KeptAsideFailedOutcome(std::string_view displayPath)
{
    const auto path = cp932::fromUtf8(displayPath);
    return failure(StoreStatus::FileError,
                   cp932::lit("変更されたデータファイルを退避できないため保存しませんでした\n") +
                       (path ? *path : std::string(displayPath)));
}

StoreOutcome BadSignatureOutcome()
{
    StoreOutcome out = failure(
        StoreStatus::BadSignature,
        cp932::lit("データファイルが読めません\n壊れている可能性があります\n新規に作成します"));
    out.unreadable = true;
    return out;
}

StoreOutcome BadVersionOutcome(int32_t version)
{
    StoreOutcome out =
        failure(StoreStatus::BadVersion,
                cp932::lit("データファイルのバージョンが適切ではありません\n新規に作成します"));
    out.version = version;
    out.unreadable = true;
    return out;
}

StoreOutcome StreamFailureOutcome(const std::exception_ptr& e)
{
    try {
        std::rethrow_exception(e);
    } catch (const ArchiveFailure& a) {
        const char* description = "";
        switch (a.kind()) {
        case ArchiveFailure::Kind::EndOfFile:
            description = "ファイルの終わりを越えて読み込もうとしました";
            break;
        case ArchiveFailure::Kind::BadLength: description = "テキストの長さが不正です"; break;
        case ArchiveFailure::Kind::BadCount:
            description = "個数がファイルの残りの大きさを超えています";
            break;
        }
        return failure(StoreStatus::ArchiveError,
                       threeLines("ｱｰｶｲﾌﾞ異常", cp932::lit(description)));
    } catch (const FileFailure& f) {
        std::string description;
        if (f.error() == ENOSPC)
            description = cp932::lit("ディスクの空き容量が不足しています");
        else if (f.writing())
            description =
                cp932::lit("ファイルの書き込みに失敗しました") + "(" + errnoName(f.error()) + ")";
        else
            description =
                cp932::lit("ファイルの読み込みに失敗しました") + "(" + errnoName(f.error()) + ")";
        return failure(StoreStatus::FileError, threeLines("ﾌｧｲﾙｱｸｾｽ異常", description));
    } catch (const std::bad_alloc&) {
        return failure(StoreStatus::OutOfMemory,
                       threeLines("メモリ不足", cp932::lit("メモリを確保できません")));
    } catch (const std::exception& x) {
        return failure(StoreStatus::OtherError, threeLines("例外発生", x.what()));
    } catch (...) {
        return failure(StoreStatus::OtherError, threeLines("例外発生", ""));
    }
}

} // namespace mxrstore
