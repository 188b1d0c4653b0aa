// A main window on temporary folders: its own program folder, settings file and Wine prefix,
// and a recording error handler in place of the message box.
#pragma once

#include "app/Form1.h"
#include "controls/DirectoryListBox.h"
#include "controls/FileListBox.h"
#include "controls/Image.h"
#include "platform/ErrorSink.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

class FormFixture : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        QDir(root.path()).mkpath(QStringLiteral("program"));
        QDir(root.path()).mkpath(QStringLiteral("wine"));
        environment.programFolder = root.path() + QStringLiteral("/program/");
        environment.settingsFile = root.path() + QStringLiteral("/config/KT/user.reg");
        environment.winePrefix = root.path() + QStringLiteral("/wine");
        environment.beep = [this] { ++beeps; };
        previousHandler = platform::setErrorHandler(
            [this](const std::exception &error) { errors << QString::fromUtf8(error.what()); });
    }

    void TearDown() override
    {
        form.reset();
        platform::setErrorHandler(previousHandler);
    }

    TForm1 &makeForm()
    {
        form = std::make_unique<TForm1>(environment);
        return *form;
    }

    QString path(const QString &relative) const
    {
        return root.path() + QLatin1Char('/') + relative;
    }

    // Copies the bundled sample textures into a new folder; returns the folder.
    QString copySamples(const QString &relative, int count = 3)
    {
        const QString folder = path(relative);
        QDir().mkpath(folder);
        const QDir samples(QStringLiteral(TESSAVANE_SOURCE_DIR "/samples"));
        const QStringList names =
            samples.entryList({QStringLiteral("*su.bmp")}, QDir::Files, QDir::Name);
        for (int i = 0; i < count && i < names.size(); ++i)
            QFile::copy(samples.filePath(names[i]), folder + QLatin1Char('/') + names[i]);
        return folder;
    }

    void writeSettings(const QString &text)
    {
        QDir().mkpath(path(QStringLiteral("config/KT")));
        QFile file(environment.settingsFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

    QString readSettings() const
    {
        QFile file(environment.settingsFile);
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        const QByteArray bytes = file.readAll();
        // New files are UTF-16LE with a byte-order mark; older ones UTF-8.
        if (bytes.startsWith("\xff\xfe"))
            return QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2));
        return QString::fromUtf8(bytes);
    }

    QTemporaryDir root;
    FormEnvironment environment;
    int beeps = 0;
    QStringList errors;
    std::unique_ptr<TForm1> form;
    platform::ErrorHandler previousHandler;
};
