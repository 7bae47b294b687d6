// UnattendedMessages: the message interface once nobody is there to answer (the program was
// told to end by a signal, as at a logout). Texts go to the application log and standard
// error; questions get the answer that ends the program without losing data.
// UnattendedMessages was CUnattendedMessages in the Windows program's sources.
#pragma once

#include "ui/common/messages.h"

class CxLogFile;

class UnattendedMessages : public MessageInterface {
public:
    explicit UnattendedMessages(CxLogFile& log) : m_log(log) {}

    void error(QWidget*, const QString& text) override { record(text); }
    void information(QWidget*, const QString& text) override { record(text); }
    void notice(QWidget*, const QString& text) override { record(text); }
    // "Yes": the only question on the way out is whether to end without a failed save.
    Answer questionYesNo(QWidget*, const QString& text, Answer focus = Answer::Yes) override;
    Answer questionYesNoCancel(QWidget*, const QString& text, Answer focus = Answer::Yes) override;
    // The second button: the read-only store's question offers "another file" there, which
    // keeps both the file on disk and the data in memory.
    int choice(QWidget*, const QString& text, const QStringList& buttons) override;
    // A new name beside dir (the file the caller proposes): "<dir>.unsaved-YYYYMMDD-HHMMSS".
    QString saveFileName(QWidget*, const QString& caption, const QString& dir,
                         const QString& filter) override;
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QString folderName(QWidget*, const QString&, const QString&) override { return {}; }

private:
    void record(const QString& text);

    CxLogFile& m_log;
};
