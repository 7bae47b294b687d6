// UnattendedMessages: messages to the log, fixed answers.
#include "app/unattendedmessages.h"

#include <QDateTime>

#include <cstdio>

#include "link/cxlogfile.h"
#include "ui/common/uitext.h"

void UnattendedMessages::record(const QString& text)
{
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "MXRView: %s\n", line.toUtf8().constData());
    if (const auto cp932 = ui::fromQ(line))
        m_log.Write(*cp932);
}

MessageInterface::Answer UnattendedMessages::questionYesNo(QWidget*, const QString& text, Answer)
{
    record(text);
    return Answer::Yes;
}

MessageInterface::Answer UnattendedMessages::questionYesNoCancel(QWidget*, const QString& text,
                                                                   Answer)
{
    record(text);
    return Answer::Cancel;
}

int UnattendedMessages::choice(QWidget*, const QString& text, const QStringList& buttons)
{
    record(text);
    return buttons.size() > 1 ? 1 : -1;
}

QString UnattendedMessages::saveFileName(QWidget*, const QString& caption, const QString& dir,
                                          const QString&)
{
    if (dir.isEmpty())
        return {};
    const QString path = dir + QStringLiteral(".unsaved-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    record(caption + QStringLiteral(": ") + path);
    return path;
}
