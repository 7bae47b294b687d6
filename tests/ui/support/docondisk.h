// A document whose store is DATA/MXR.DAT of a temporary folder, with scripted messages: the
// fixture of the tests that load, save, back up and restore the document's own store.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

#include "support/scriptedmessages.h"
#include "ui/document/measurementdocument.h"

// The bytes of a file, empty when it cannot be read.
inline std::string readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

class DocOnDiskTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath("DATA");
        doc.SetDataFilePath(store().toStdString());
        doc.SetStoreOptions({200, 20, false});
    }
    QString store() const { return dir.filePath("DATA/MXR.DAT"); }

    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    MeasurementDocument doc;
};
