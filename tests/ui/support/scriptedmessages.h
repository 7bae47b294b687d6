// CScriptedMessages: the message interface for tests. It records every message and question
// and answers from a prepared queue; an unexpected question fails the test.
#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <memory>

#include "ui/common/messages.h"

class CScriptedMessages : public MessageInterface {
public:
    enum class Kind {
        Error,
        Information,
        Notice,
        YesNo,
        YesNoCancel,
        Choice,
        OpenFile,
        SaveFile,
        Folder
    };
    struct Entry {
        Kind kind;
        QString text; // message text, or the chooser's caption
        // The button a question focused when it opened (Yes for everything but questions).
        Answer focus = Answer::Yes;
    };

    // Answers to the next questions, in order.
    void pushAnswer(Answer a) { m_answers.push_back(a); }
    // Button indexes the next choices return, in order (-1 = closed without a button).
    void pushChoice(int index) { m_choices.push_back(index); }
    // Paths the next file or folder choosers return, in order ("" = cancelled).
    void pushPath(const QString& path) { m_paths.push_back(path); }

    const std::deque<Entry>& entries() const { return m_entries; }
    // The paths the save choosers proposed, in order.
    const QStringList& proposedPaths() const { return m_proposed; }
    QStringList texts() const;
    void clear() { m_entries.clear(); }

    void error(QWidget*, const QString& text) override;
    void information(QWidget*, const QString& text) override;
    void notice(QWidget*, const QString& text) override;
    Answer questionYesNo(QWidget*, const QString& text, Answer focus = Answer::Yes) override;
    Answer questionYesNoCancel(QWidget*, const QString& text, Answer focus = Answer::Yes) override;
    int choice(QWidget*, const QString& text, const QStringList& buttons) override;
    QString openFileName(QWidget*, const QString& caption, const QString&, const QString&) override;
    QString saveFileName(QWidget*, const QString& caption, const QString&, const QString&) override;
    QString folderName(QWidget*, const QString& caption, const QString&) override;

private:
    Answer nextAnswer(const QString& text);
    QString nextPath(const QString& caption);

    std::deque<Entry> m_entries;
    std::deque<Answer> m_answers;
    std::deque<int> m_choices;
    std::deque<QString> m_paths;
    QStringList m_proposed;
};

// Installs a scripted answerer for the life of the object and restores the previous one.
class ScopedScriptedMessages {
public:
    ScopedScriptedMessages();
    ~ScopedScriptedMessages();
    ScopedScriptedMessages(const ScopedScriptedMessages&) = delete;
    ScopedScriptedMessages& operator=(const ScopedScriptedMessages&) = delete;

    CScriptedMessages& operator*() { return *m_messages; }
    CScriptedMessages* operator->() { return m_messages; }

private:
    CScriptedMessages* m_messages;
    std::unique_ptr<MessageInterface> m_previous;
};
