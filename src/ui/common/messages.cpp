// DialogMessages: QMessageBox and QFileDialog behind the message interface.
#include "ui/common/messages.h"

#include <QAbstractButton>
#include <QPushButton>

#include <algorithm>
#include <vector>

#include <QDateTime>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QMessageBox>
#include <QStyle>
#include <QTreeView>

#include <utility>

#include "ui/common/uitext.h"

namespace {

// The standard buttons speak Japanese even when Qt's own catalogue is not installed, so a
// question that names 【はい】 has a button that says はい.
void setJapaneseButtons(QMessageBox& box)
{
    const std::pair<QMessageBox::StandardButton, const char16_t*> texts[] = {
        {QMessageBox::Yes, u"はい"},
        {QMessageBox::No, u"いいえ"},
        {QMessageBox::Cancel, u"キャンセル"},
        {QMessageBox::Ok, u"OK"},
    };
    for (const auto& [which, text] : texts)
        if (QAbstractButton* b = box.button(which))
            b->setText(QString::fromUtf16(text));
}

QMessageBox::StandardButton toButton(MessageInterface::Answer a)
{
    switch (a) {
    case MessageInterface::Answer::Yes: return QMessageBox::Yes;
    case MessageInterface::Answer::No: return QMessageBox::No;
    default: return QMessageBox::Cancel;
    }
}

int runBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
           QMessageBox::StandardButtons buttons,
           QMessageBox::StandardButton focus = QMessageBox::NoButton)
{
    QMessageBox box(icon, ui::appTitle(), text, buttons, parent);
    setJapaneseButtons(box);
    if (focus != QMessageBox::NoButton && box.button(focus))
        box.setDefaultButton(focus);
    return box.exec();
}

void plainBox(QWidget* parent, QMessageBox::Icon icon, const QString& text)
{
    runBox(parent, icon, text, QMessageBox::Ok);
}

MessageInterface::Answer toAnswer(int button)
{
    switch (button) {
    case QMessageBox::Yes: return MessageInterface::Answer::Yes;
    case QMessageBox::No: return MessageInterface::Answer::No;
    default: return MessageInterface::Answer::Cancel;
    }
}

// The file chooser's modification dates as "2024/05/12 09:30": Qt writes them in the system
// locale's long form ("12 May 2024 09:30:00" under a C or English locale), which its date
// column cuts off.
class JapaneseFileDates : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (index.column() == 3 && role == Qt::DisplayRole)
            if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel())) {
                const QDateTime t = files->lastModified(mapToSource(index));
                return t.isValid() ? t.toString(QStringLiteral("yyyy/MM/dd HH:mm")) : QString();
            }
        return QIdentityProxyModel::data(index, role);
    }
};

// A file or folder chooser with Japanese labels (Qt's catalogue translates the rest of it);
// the chosen path, or "" when cancelled.
QString runFileDialog(QWidget* parent, const QString& caption, const QString& dir,
                      const QString& filter, QFileDialog::AcceptMode accept,
                      QFileDialog::FileMode fileMode, QFileDialog::Options options)
{
    QFileDialog dialog(parent, caption, dir, filter);
    dialog.setAcceptMode(accept);
    dialog.setFileMode(fileMode);
    dialog.setOptions(options);
    const bool folder = fileMode == QFileDialog::Directory;
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("場所:"));
    dialog.setLabelText(QFileDialog::FileName,
                        folder ? QStringLiteral("フォルダー:") : QStringLiteral("ファイル名:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("ファイルの種類:"));
    dialog.setLabelText(QFileDialog::Accept, folder ? QStringLiteral("選択")
                                             : accept == QFileDialog::AcceptSave
                                                 ? QStringLiteral("保存")
                                                 : QStringLiteral("開く"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    // Dates in the Japanese numeric form; the type and date columns wide enough for
    // "フォルダー" and such a date.
    dialog.setProxyModel(new JapaneseFileDates(&dialog));
    if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        const int margin = view->style()->pixelMetric(QStyle::PM_HeaderMargin) * 2 + 16;
        const std::pair<int, QString> widest[] = {{2, QStringLiteral("フォルダー")},
                                                  {3, QStringLiteral("0000/00/00 00:00")}};
        for (const auto& [column, text] : widest) {
            const int width = view->fontMetrics().horizontalAdvance(text) + margin;
            if (view->header()->count() > column && view->header()->sectionSize(column) < width)
                view->header()->resizeSection(column, width);
        }
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

std::unique_ptr<MessageInterface>& current()
{
    static std::unique_ptr<MessageInterface> instance = std::make_unique<DialogMessages>();
    return instance;
}

} // namespace

void DialogMessages::error(QWidget* parent, const QString& text)
{
    plainBox(parent, QMessageBox::Critical, text);
}

void DialogMessages::information(QWidget* parent, const QString& text)
{
    plainBox(parent, QMessageBox::Information, text);
}

void DialogMessages::notice(QWidget* parent, const QString& text)
{
    plainBox(parent, QMessageBox::NoIcon, text);
}

MessageInterface::Answer DialogMessages::questionYesNo(QWidget* parent, const QString& text,
                                                     Answer focus)
{
    return toAnswer(runBox(parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                           toButton(focus)));
}

MessageInterface::Answer DialogMessages::questionYesNoCancel(QWidget* parent, const QString& text,
                                                           Answer focus)
{
    return toAnswer(runBox(parent, QMessageBox::Question, text,
                           QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                           toButton(focus)));
}

int DialogMessages::choice(QWidget* parent, const QString& text, const QStringList& buttons)
{
    QMessageBox box(QMessageBox::Question, ui::appTitle(), text, QMessageBox::NoButton, parent);
    std::vector<QAbstractButton*> pressed;
    for (const QString& b : buttons)
        pressed.push_back(box.addButton(b, QMessageBox::AcceptRole));
    box.exec();
    const auto it = std::find(pressed.begin(), pressed.end(), box.clickedButton());
    return it == pressed.end() ? -1 : static_cast<int>(it - pressed.begin());
}

QString DialogMessages::openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                  const QString& filter)
{
    return runFileDialog(parent, caption, dir, filter, QFileDialog::AcceptOpen,
                         QFileDialog::ExistingFile, {});
}

QString DialogMessages::saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                  const QString& filter)
{
    // Overwrite questions are asked by the callers through this interface.
    return runFileDialog(parent, caption, dir, filter, QFileDialog::AcceptSave,
                         QFileDialog::AnyFile, QFileDialog::DontConfirmOverwrite);
}

QString DialogMessages::folderName(QWidget* parent, const QString& caption, const QString& dir)
{
    return runFileDialog(parent, caption, dir, {}, QFileDialog::AcceptOpen, QFileDialog::Directory,
                         QFileDialog::ShowDirsOnly);
}

namespace ui {

MessageInterface& messages()
{
    return *current();
}

std::unique_ptr<MessageInterface> installMessages(std::unique_ptr<MessageInterface> m)
{
    if (!m)
        m = std::make_unique<DialogMessages>();
    std::swap(current(), m);
    return m;
}

} // namespace ui
