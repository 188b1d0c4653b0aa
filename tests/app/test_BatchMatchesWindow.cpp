// The headless batch command and the window's texture sets write the same bytes: both start
// the snow noise at 1, select and name the files alike and use the same passes and library.
// One case only, so the process's snow noise is fresh when the window's set begins.
#include "FormFixture.h"

#include "controls/NumEdit.h"
#include "season/SnowNoise.h"

#include <QProcess>

namespace {

TEST_F(FormFixture, BatchCommandWritesWhatTheWindowsSetsWrite)
{
    ASSERT_EQ(season::processSnowNoise().state(), 1u);
    const QString source = copySamples(QStringLiteral("source"), 4);
    for (const char *folder : {"window-winter", "window-fall", "batch-winter", "batch-fall",
                               "batch-winter-1", "batch-winter-3"})
        QDir().mkpath(path(QString::fromLatin1(folder)));
    writeSettings(QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                                 "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\n"
                                 "\"Texture\"=\"%1\"\n\"Texture1\"=\"%2\"\n"
                                 "\"Winter\"=\"60\"\n\"Fall\"=\"9\"\n")
                      .arg(source, path(QStringLiteral("window-winter"))));
    TForm1 &window = makeForm();
    window.Button3Click();
    window.DirectoryListBox2->setDirectory(path(QStringLiteral("window-fall")));
    window.CreateSU->setChecked(true);
    window.Button5Click();
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

    auto runBatch = [&](const QStringList &arguments) {
        QProcess batch;
        batch.start(QStringLiteral(TESSAVANE_BATCH_PROGRAM), arguments);
        EXPECT_TRUE(batch.waitForFinished(120000));
        EXPECT_EQ(batch.exitCode(), 0) << batch.readAllStandardError().toStdString();
    };
    runBatch({QStringLiteral("winter"), QStringLiteral("--snow"), QStringLiteral("60"),
              QStringLiteral("--quiet"), source, path(QStringLiteral("batch-winter"))});
    // One worker, and more workers than tiles: the snow runs on in file order all the same.
    runBatch({QStringLiteral("winter"), QStringLiteral("--snow"), QStringLiteral("60"),
              QStringLiteral("--jobs"), QStringLiteral("1"), QStringLiteral("--quiet"), source,
              path(QStringLiteral("batch-winter-1"))});
    runBatch({QStringLiteral("winter"), QStringLiteral("--snow"), QStringLiteral("60"),
              QStringLiteral("--jobs"), QStringLiteral("3"), QStringLiteral("--quiet"), source,
              path(QStringLiteral("batch-winter-3"))});
    runBatch({QStringLiteral("fall"), QStringLiteral("--fall"), QStringLiteral("9"),
              QStringLiteral("--create-su"), QStringLiteral("--quiet"), source,
              path(QStringLiteral("batch-fall"))});

    for (const char *run : {"winter", "fall", "winter-1", "winter-3"}) {
        const QString season = QString::fromLatin1(run).section(QLatin1Char('-'), 0, 0);
        const QDir windowOut(path(QStringLiteral("window-") + season));
        const QDir batchOut(path(QStringLiteral("batch-") + QLatin1String(run)));
        const QStringList names = windowOut.entryList(QDir::Files, QDir::Name);
        ASSERT_EQ(names.size(), 4) << run;
        EXPECT_EQ(batchOut.entryList(QDir::Files, QDir::Name), names) << run;
        for (const QString &name : names) {
            QFile a(windowOut.filePath(name));
            QFile b(batchOut.filePath(name));
            ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
            EXPECT_TRUE(a.readAll() == b.readAll()) << run << " " << name.toStdString();
        }
    }
}

} // namespace
