// The one interface through which UI code shows messages, asks questions and lets the user
// choose files and folders. The program installs QMessageBox/QFileDialog behind it; tests
// install a scripted answerer, so no dialog ever blocks a test.
// DialogMessages was CQtMessages in the Windows program's sources.
// MessageInterface was CMessageInterface in the Windows program's sources.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <string>

class QWidget;

class MessageInterface {
public:
    enum class Answer { Yes, No, Cancel };

    virtual ~MessageInterface() = default;

    // Error icon, OK: refusals and failures.
    virtual void error(QWidget* parent, const QString& text) = 0;
    // Information icon, OK.
    virtual void information(QWidget* parent, const QString& text) = 0;
    // No icon, OK: success notices.
    virtual void notice(QWidget* parent, const QString& text) = 0;
    // Question icon, Yes/No: deletions, overwrites, name conflicts. Yes or No. `focus` is the
    // button that has the focus when the box opens (Enter presses it): No for a question whose
    // Yes deletes, overwrites or throws away what the user has, so a hurried Enter loses
    // nothing.
    virtual Answer questionYesNo(QWidget* parent, const QString& text,
                                 Answer focus = Answer::Yes) = 0;
    // Question icon, Yes/No/Cancel, with the focused button as above.
    virtual Answer questionYesNoCancel(QWidget* parent, const QString& text,
                                       Answer focus = Answer::Yes) = 0;
    // Question icon with one button per text, in order; the index of the button pressed, -1
    // when the box was closed without one.
    virtual int choice(QWidget* parent, const QString& text, const QStringList& buttons) = 0;

    // File and folder choosers; an empty result means the user cancelled.
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    virtual QString folderName(QWidget* parent, const QString& caption, const QString& dir) = 0;
};

// The dialogs of the running program.
class DialogMessages : public MessageInterface {
public:
    void error(QWidget* parent, const QString& text) override;
    void information(QWidget* parent, const QString& text) override;
    void notice(QWidget* parent, const QString& text) override;
    Answer questionYesNo(QWidget* parent, const QString& text, Answer focus = Answer::Yes) override;
    Answer questionYesNoCancel(QWidget* parent, const QString& text,
                               Answer focus = Answer::Yes) override;
    int choice(QWidget* parent, const QString& text, const QStringList& buttons) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override;
    QString folderName(QWidget* parent, const QString& caption, const QString& dir) override;
};

namespace ui {

// The interface in use; DialogMessages unless one was installed.
MessageInterface& messages();
// Installs another implementation (tests) and returns the previous one; nullptr restores the
// dialogs of the program.
std::unique_ptr<MessageInterface> installMessages(std::unique_ptr<MessageInterface> m);

} // namespace ui
