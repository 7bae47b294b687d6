// CQtMessages: QMessageBox and QFileDialog behind the message interface.
#include "ui/messages.h"

#include <QAbstractButton>
#include <QPushButton>

#include <algorithm>
#include <vector>

#include <QFileDialog>
#include <QMessageBox>

#include "ui/uitext.h"

namespace {

void plainBox(QWidget* parent, QMessageBox::Icon icon, const QString& text)
{
    QMessageBox box(icon, ui::appTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

CMessageInterface::Answer toAnswer(int button)
{
    switch (button) {
    case QMessageBox::Yes: return CMessageInterface::Answer::Yes;
    case QMessageBox::No: return CMessageInterface::Answer::No;
    default: return CMessageInterface::Answer::Cancel;
    }
}

std::unique_ptr<CMessageInterface>& current()
{
    static std::unique_ptr<CMessageInterface> instance = std::make_unique<CQtMessages>();
    return instance;
}

} // namespace

void CQtMessages::error(QWidget* parent, const QString& text)
{
    plainBox(parent, QMessageBox::Critical, text);
}

void CQtMessages::information(QWidget* parent, const QString& text)
{
    plainBox(parent, QMessageBox::Information, text);
}

void CQtMessages::notice(QWidget* parent, const QString& text)
{
    plainBox(parent, QMessageBox::NoIcon, text);
}

CMessageInterface::Answer CQtMessages::questionYesNo(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, ui::appTitle(), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    return toAnswer(box.exec());
}

CMessageInterface::Answer CQtMessages::questionYesNoCancel(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, ui::appTitle(), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    return toAnswer(box.exec());
}

int CQtMessages::choice(QWidget* parent, const QString& text, const QStringList& buttons)
{
    QMessageBox box(QMessageBox::Question, ui::appTitle(), text, QMessageBox::NoButton, parent);
    std::vector<QAbstractButton*> pressed;
    for (const QString& b : buttons)
        pressed.push_back(box.addButton(b, QMessageBox::AcceptRole));
    box.exec();
    const auto it = std::find(pressed.begin(), pressed.end(), box.clickedButton());
    return it == pressed.end() ? -1 : static_cast<int>(it - pressed.begin());
}

QString CQtMessages::openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                  const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString CQtMessages::saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                  const QString& filter)
{
    // Overwrite questions are asked by the callers through this interface.
    return QFileDialog::getSaveFileName(parent, caption, dir, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString CQtMessages::folderName(QWidget* parent, const QString& caption, const QString& dir)
{
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

namespace ui {

CMessageInterface& messages()
{
    return *current();
}

std::unique_ptr<CMessageInterface> installMessages(std::unique_ptr<CMessageInterface> m)
{
    if (!m)
        m = std::make_unique<CQtMessages>();
    std::swap(current(), m);
    return m;
}

} // namespace ui
