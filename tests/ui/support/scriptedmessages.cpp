// CScriptedMessages: recorded messages and prepared answers.
#include "support/scriptedmessages.h"

#include <gtest/gtest.h>

QStringList CScriptedMessages::texts() const
{
    QStringList list;
    for (const Entry& e : m_entries)
        list << e.text;
    return list;
}

void CScriptedMessages::error(QWidget*, const QString& text)
{
    m_entries.push_back({Kind::Error, text});
}

void CScriptedMessages::information(QWidget*, const QString& text)
{
    m_entries.push_back({Kind::Information, text});
}

void CScriptedMessages::notice(QWidget*, const QString& text)
{
    m_entries.push_back({Kind::Notice, text});
}

MessageInterface::Answer CScriptedMessages::questionYesNo(QWidget*, const QString& text,
                                                           Answer focus)
{
    m_entries.push_back({Kind::YesNo, text, focus});
    return nextAnswer(text);
}

MessageInterface::Answer CScriptedMessages::questionYesNoCancel(QWidget*, const QString& text,
                                                                 Answer focus)
{
    m_entries.push_back({Kind::YesNoCancel, text, focus});
    return nextAnswer(text);
}

int CScriptedMessages::choice(QWidget*, const QString& text, const QStringList& buttons)
{
    m_entries.push_back({Kind::Choice, text + "\n[" + buttons.join(" / ") + "]"});
    if (m_choices.empty()) {
        ADD_FAILURE() << "unexpected choice: " << text.toStdString();
        return -1;
    }
    const int c = m_choices.front();
    m_choices.pop_front();
    return c;
}

QString CScriptedMessages::openFileName(QWidget*, const QString& caption, const QString&,
                                        const QString&)
{
    m_entries.push_back({Kind::OpenFile, caption});
    return nextPath(caption);
}

QString CScriptedMessages::saveFileName(QWidget*, const QString& caption, const QString& dir,
                                        const QString&)
{
    m_proposed << dir;
    m_entries.push_back({Kind::SaveFile, caption});
    return nextPath(caption);
}

QString CScriptedMessages::folderName(QWidget*, const QString& caption, const QString&)
{
    m_entries.push_back({Kind::Folder, caption});
    return nextPath(caption);
}

MessageInterface::Answer CScriptedMessages::nextAnswer(const QString& text)
{
    if (m_answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return Answer::Cancel;
    }
    const Answer a = m_answers.front();
    m_answers.pop_front();
    return a;
}

QString CScriptedMessages::nextPath(const QString& caption)
{
    if (m_paths.empty()) {
        ADD_FAILURE() << "unexpected chooser: " << caption.toStdString();
        return {};
    }
    const QString p = m_paths.front();
    m_paths.pop_front();
    return p;
}

ScopedScriptedMessages::ScopedScriptedMessages()
{
    auto messages = std::make_unique<CScriptedMessages>();
    m_messages = messages.get();
    m_previous = ui::installMessages(std::move(messages));
}

ScopedScriptedMessages::~ScopedScriptedMessages()
{
    ui::installMessages(std::move(m_previous));
}
