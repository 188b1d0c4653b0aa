// Running tessavane-batch as a program in a scratch folder of its own, shared by the tests
// of the command.
#pragma once

#include "TextureFiles.h"

#include "season/ConversionSteps.h"
#include "season/SeasonPass.h"
#include "season/WorkingFiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace batchtest {

namespace fs = std::filesystem;
using namespace seasontest;
using season::Season;

struct Outcome
{
    int status = -1;
    std::string out;
    std::string err;
};

inline std::set<std::string> namesIn(const fs::path &folder)
{
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

inline bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}
class BatchCommand : public testing::Test
{
  protected:
    void SetUp() override
    {
        m_root = m_dir.path().toStdString();
        for (const fs::path &folder : {m_source, m_dest, m_tmp, m_config, m_expect})
            fs::create_directories(m_root / folder);
    }

    fs::path source(const std::string &name = {}) const { return m_root / m_source / name; }
    fs::path dest(const std::string &name = {}) const { return m_root / m_dest / name; }
    fs::path storeFile() const { return m_root / m_config / "KT" / "user.reg"; }

    void startProcess(QProcess &process, const QStringList &arguments) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((m_root / m_config).string()));
        env.insert("TMPDIR", QString::fromStdString((m_root / m_tmp).string()));
        process.setProcessEnvironment(env);
        process.start(TESSAVANE_BATCH_PROGRAM, arguments);
        ASSERT_TRUE(process.waitForStarted()) << process.errorString().toStdString();
    }

    void startShell(QProcess &process, const std::string &script) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((m_root / m_config).string()));
        env.insert("TMPDIR", QString::fromStdString((m_root / m_tmp).string()));
        process.setProcessEnvironment(env);
        process.start("bash", {"-c", QString::fromStdString(script)});
        ASSERT_TRUE(process.waitForStarted()) << process.errorString().toStdString();
    }

    Outcome run(const QStringList &arguments) const
    {
        QProcess process;
        startProcess(process, arguments);
        EXPECT_TRUE(process.waitForFinished(240000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        return Outcome{process.exitCode(), process.readAllStandardOutput().toStdString(),
                       process.readAllStandardError().toStdString()};
    }

    QStringList folders() const
    {
        return {QString::fromStdString(source().string()), QString::fromStdString(dest().string())};
    }

    // What the season core makes of these textures, in this order, with one snow noise
    // generator from state 1: the outputs the command must write, byte for byte.
    std::vector<Bytes> expected(const std::vector<fs::path> &textures, Season season,
                                int adjustment) const
    {
        const season::WorkingFiles work{m_root / m_expect};
        season::SnowNoise noise;
        std::vector<Bytes> outputs;
        for (const fs::path &texture : textures) {
            season::convertToWorkingFiles(work, texture);
            if (season == Season::Winter)
                season::runWinterPass(work.colour(), work.winter(), adjustment, noise);
            else
                season::runFallPass(work.colour(), work.fall(), adjustment);
            season::writeSeasonTexture(work, season, work.folder / "output.bmp");
            outputs.push_back(readBytes(work.folder / "output.bmp"));
        }
        return outputs;
    }

    bool tmpEmpty() const { return fs::is_empty(m_root / m_tmp); }

    QTemporaryDir m_dir;
    fs::path m_root;
    const fs::path m_source = "source";
    const fs::path m_dest = "dest";
    const fs::path m_tmp = "tmp";
    const fs::path m_config = "config";
    const fs::path m_expect = "expect";
};
// Copies of one texture, enough that a run is still going when it is interrupted.
inline void fillSource(const fs::path &folder, int total)
{
    writeTexture(folder / "000000000000000su.bmp");
    for (int i = 1; i < total; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%015dsu.bmp", i);
        fs::copy_file(folder / "000000000000000su.bmp", folder / name);
    }
}

} // namespace batchtest
