#include "ui/common/errnotext.h"

#include <cerrno>
#include <cstring>

namespace ui {

QString errnoText(int error)
{
    switch (error) {
    case 0: return {};
    case ENOSPC: return QStringLiteral("ディスクの空き容量が不足しています");
    case EDQUOT: return QStringLiteral("ディスクの使用量の上限を超えました");
    case EACCES:
    case EPERM: return QStringLiteral("アクセスが拒否されました");
    case EROFS: return QStringLiteral("読み取り専用の場所には書き込めません");
    case ENOENT: return QStringLiteral("ファイルまたはフォルダーが見つかりません");
    case ENOTDIR: return QStringLiteral("フォルダーではありません");
    case EISDIR: return QStringLiteral("フォルダーです");
    case EIO: return QStringLiteral("入出力エラーが発生しました");
    case EMFILE:
    case ENFILE: return QStringLiteral("開いているファイルが多すぎます");
    case EFBIG: return QStringLiteral("ファイルが大きすぎます");
    case ENAMETOOLONG: return QStringLiteral("ファイル名が長すぎます");
    case EBUSY:
    case ETXTBSY: return QStringLiteral("ファイルが使用中です");
    default: break;
    }
    const char* name = strerrorname_np(error);
    return QStringLiteral("システムエラー %1")
        .arg(name ? QString::fromLatin1(name) : QString::number(error));
}

} // namespace ui
