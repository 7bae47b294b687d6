// Text conversion at the UI edge, font substitutions, the numeric locale and the Japanese
// catalogue of Qt's own dialogs.
#include "ui/common/uitext.h"

#include <QCoreApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

#include <clocale>
#include <string_view>

#include "model/cp932text.h"

namespace {

// Qt 6 asks for the file chooser's type names ("Folder", "Drive", "File") under a context
// that Qt's Japanese catalogue does not carry yet, so they stayed English. This translator
// answers for that context only and leaves every other text to the catalogue.
class FileTypeNames : public QTranslator {
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override
    {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        if (!context || !source || std::string_view(context) != "QAbstractFileIconProvider")
            return {};
        const std::string_view s(source);
        if (s == "Folder")
            return QStringLiteral("フォルダー");
        if (s == "Drive")
            return QStringLiteral("ドライブ");
        if (s == "File")
            return QStringLiteral("ファイル");
        if (s == "%1 File")
            return QStringLiteral("%1 ファイル");
        return {};
    }
};

} // namespace

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
    QCoreApplication::installTranslator(new FileTypeNames(app));
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
