#include "ui/dialogs/csvsave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "exchange/csvwriter.h"
#include "settings/appsettings.h"
#include "ui/common/messages.h"
#include "ui/common/uitext.h"

namespace csvsave {

bool WriteAndTell(QWidget* parent, const QString& path, const std::string& bytes)
{
    const CsvWriteOutcome out = WriteCsvFile(QFile::encodeName(path).toStdString(), bytes);
    if (!out.ok) {
        ui::messages().error(parent, ui::toQ(out.message));
        return false;
    }
    ui::messages().notice(parent, QStringLiteral("テキストファイルへ正常に出力しました\n%1")
                                      .arg(QDir::toNativeSeparators(path)));
    return true;
}

bool AskAndWrite(QWidget* parent, const CAppSettings& settings, const QString& fileName,
                 const std::function<std::string()>& bytes)
{
    QString dir = ui::toQ(settings.TextOutDir);
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QString::fromStdString(settings.Paths().documentsDir);
    QString path =
        ui::messages().saveFileName(parent, QStringLiteral("CSV出力"), QDir(dir).filePath(fileName),
                                    QStringLiteral("CSV ファイル (*.csv *.CSV)"));
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".CSV");
    return WriteAndTell(parent, path, bytes());
}

} // namespace csvsave
