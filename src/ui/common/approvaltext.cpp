// The words the UI uses for approved sets.
#include "ui/common/approvaltext.h"

#include "ui/common/uitext.h"

namespace ui {

QString SetWords(const cmd::TreePath& set)
{
    return toQ(set.customer) + QStringLiteral("－") + toQ(set.cable) + QStringLiteral("－") +
           toQ(set.set);
}

QString ApprovedRefusal(const cmd::TreePath& set)
{
    return QStringLiteral("承認済みのデータは変更できません。承認を取り消してから変更してください。"
                          "\n【 %1 】")
        .arg(SetWords(set));
}

} // namespace ui
