// Text conversion at the UI edge, font substitutions, the numeric locale and the Japanese
// catalogue of Qt's own dialogs.
#include "ui/common/uitext.h"

#include <QCoreApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

#include <clocale>

#include "model/cp932text.h"

namespace ui {

QString appTitle()
{
    return QStringLiteral("マクセラテスタ");
}

QString toQ(std::string_view cp932)
{
    return QString::fromStdString(cp932::toUtf8(cp932));
}

std::optional<std::string> fromQ(const QString& text)
{
    return cp932::fromUtf8(text.toStdString());
}

QString gothicFace()
{
    return QStringLiteral("ＭＳ ゴシック");
}

QString pGothicFace()
{
    return QStringLiteral("ＭＳ Ｐゴシック");
}

void installFontSubstitutions()
{
    // Both the Japanese and the family names of the IPA fonts, so either fontconfig naming
    // resolves; the half-width spelling some files carry is mapped too.
    QFont::insertSubstitutions(
        gothicFace(), QStringList{QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック")});
    QFont::insertSubstitutions(
        pGothicFace(), QStringList{QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック")});
    QFont::insertSubstitution(QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"));
}

void keepCNumericLocale()
{
    std::setlocale(LC_NUMERIC, "C");
}

QLocale japaneseLocale()
{
    QLocale ja(QLocale::Japanese, QLocale::Japan);
    ja.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return ja;
}

bool installJapaneseUi()
{
    QLocale::setDefault(japaneseLocale());
    auto* app = QCoreApplication::instance();
    auto* qt = new QTranslator(app);
    if (!qt->load(QStringLiteral("qtbase_ja"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        return false;
    }
    QCoreApplication::installTranslator(qt);
    return true;
}

} // namespace ui
