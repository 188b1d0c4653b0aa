// The window end to end on real textures: previews, texture sets and single saves through the
// real conversion library.
#include "FormFixture.h"

#include "controls/Image.h"
#include "controls/NumEdit.h"
#include "convlib/kovar.h"
#include "season/SeasonPass.h"
#include "season/SnowNoise.h"

#include "platform/Error.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <functional>

namespace {

class PipelineTest : public FormFixture
{
  protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        source = copySamples(QStringLiteral("source"), 3);
        QDir().mkpath(path(QStringLiteral("out")));
        writeSettings(QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                                     "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\n"
                                     "\"Texture\"=\"%1\"\n\"Texture1\"=\"%2\"\n")
                          .arg(source, path(QStringLiteral("out"))));
        makeForm();
        ASSERT_EQ(form->FileListBox1->count(), 3);
    }

    // Selects entry `row` the way a user does, with the mouse.
    void clickEntry(int row)
    {
        TFileListBox *list = form->FileListBox1;
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    QString work(const char *name) const
    {
        return path(QStringLiteral("program/")) + QLatin1String(name);
    }

    // The colour part of a texture file, as the library decodes it (24-bit bitmap bytes).
    QByteArray decodeColour(const QString &texture)
    {
        const QString folder = path(QStringLiteral("decode"));
        QDir().mkpath(folder);
        char buffer[1024] = {};
        const QByteArray tga = (folder + QStringLiteral("/t.tga")).toUtf8();
        const QByteArray bmp = (folder + QStringLiteral("/c.bmp")).toUtf8();
        const QByteArray alpha = (folder + QStringLiteral("/a.bmp")).toUtf8();
        if (TargaFromExtendedBitmap(tga.constData(), texture.toUtf8().constData(), buffer) != 0 ||
            TargaSplit(tga.constData(), bmp.constData(), alpha.constData(), buffer) != 0) {
            ADD_FAILURE() << buffer;
            return {};
        }
        return readFile(QString::fromUtf8(bmp));
    }

    // An earlier texture at relative, which a save must replace only when told to.
    QString earlierTexture(const char *relative)
    {
        const QString chosen = path(QLatin1String(relative));
        QFile existing(chosen);
        EXPECT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("an earlier texture");
        return chosen;
    }

    static QByteArray readFile(const QString &name)
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Peak signal-to-noise ratio of two working bitmaps' pixel bytes.
    static double psnr(const QByteArray &a, const QByteArray &b)
    {
        if (a.size() != b.size() || a.size() <= 54)
            return 0;
        double sum = 0;
        for (qsizetype i = 54; i < a.size(); ++i) {
            const double d = double(uchar(a[i])) - double(uchar(b[i]));
            sum += d * d;
        }
        const double mse = sum / double(a.size() - 54);
        return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
    }

    QString source;
};

TEST_F(PipelineTest, RefreshWithNothingSelectedChangesNothing)
{
    form->View->click();
    EXPECT_FALSE(QFile::exists(work("targa.tga")));
    EXPECT_FALSE(QFile::exists(work("main.bmp")));
    EXPECT_TRUE(form->Image1->pixmap().isNull());
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(PipelineTest, SelectingATextureShowsItsThreePreviews)
{
    clickEntry(0);
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    for (TImage *image : {form->Image1, form->Image2, form->Image3})
        EXPECT_EQ(image->pixmap().size(), QSize(256, 256));
    for (const char *name : {"targa.tga", "main.bmp", "alpha.bmp", "tempw.bmp", "tempf.bmp"})
        EXPECT_TRUE(QFile::exists(work(name))) << name;
    EXPECT_EQ(QFileInfo(work("main.bmp")).size(), 196662);
    EXPECT_EQ(QFileInfo(work("tempw.bmp")).size(), 196662);
}

TEST_F(PipelineTest, OnlyANewSelectionOrRefreshRedoesThePreview)
{
    form->NumEdit1->setNumber(0); // every pixel that is not water gets snow
    clickEntry(1);
    const std::uint32_t afterFirst = season::processSnowNoise().state();
    clickEntry(1); // the entry already selected
    EXPECT_EQ(season::processSnowNoise().state(), afterFirst);
    form->View->click();
    EXPECT_NE(season::processSnowNoise().state(), afterFirst);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(PipelineTest, ChangedAdjustmentTakesEffectAtRefresh)
{
    clickEntry(0);
    const QByteArray fallBefore = readFile(work("tempf.bmp"));
    const QByteArray colour = readFile(work("main.bmp"));
    form->NumEdit2->setText(QStringLiteral("0"));
    form->View->click();
    EXPECT_NE(readFile(work("tempf.bmp")), fallBefore);
    EXPECT_EQ(readFile(work("tempf.bmp")), colour); // browning 0 copies the colours
}

TEST_F(PipelineTest, UnreadableTextureClearsThePreviewsAndNamesTheFile)
{
    int dialogs = 0;
    form->save.execute = [&](SaveDialog &) {
        ++dialogs;
        return false;
    };
    // Before any preview a double-click has nothing to save.
    QTest::mouseDClick(form->Image2, Qt::LeftButton);
    EXPECT_EQ(dialogs, 0);

    clickEntry(0);
    const QByteArray colour = readFile(work("main.bmp"));
    const QString brokenPath = source + QStringLiteral("/000000000000000su.bmp");
    QFile broken(brokenPath);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("BM this is not a texture");
    broken.close();
    form->DirectoryListBox1->setDirectory(path(QStringLiteral("out")));
    form->DirectoryListBox1->setDirectory(source);
    ASSERT_EQ(form->FileListBox1->item(0)->text(), QStringLiteral("000000000000000su.bmp"));

    clickEntry(0);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.first().contains(QStringLiteral("000000000000000su.bmp")))
        << errors.first().toStdString();
    EXPECT_EQ(readFile(work("main.bmp")), colour);
    // The highlighted texture has no previews, and the previous one's cannot be saved.
    for (TImage *image : {form->Image1, form->Image2, form->Image3})
        EXPECT_TRUE(image->pixmap().isNull()) << image->objectName().toStdString();
    QTest::mouseDClick(form->Image2, Qt::LeftButton);
    QTest::mouseDClick(form->Image3, Qt::LeftButton);
    EXPECT_EQ(dialogs, 0);

    // Once the file is whole again, "Refresh" brings the previews back.
    QFile::remove(brokenPath);
    ASSERT_TRUE(
        QFile::copy(source + QLatin1Char('/') + form->FileListBox1->item(1)->text(), brokenPath));
    QTest::mouseClick(form->View, Qt::LeftButton);
    ASSERT_EQ(errors.size(), 1) << errors.join('\n').toStdString();
    for (TImage *image : {form->Image1, form->Image2, form->Image3})
        EXPECT_EQ(image->pixmap().size(), QSize(256, 256));
    QTest::mouseDClick(form->Image3, Qt::LeftButton);
    EXPECT_EQ(dialogs, 1);
}

TEST_F(PipelineTest, WinterSetWritesEveryTextureUnderItsWinterName)
{
    const std::uint32_t start = season::processSnowNoise().state();
    form->Button3->click();
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

    const QStringList names = QDir(source).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    season::SnowNoise replica(start);
    for (const QString &name : names) {
        const QString output =
            path(QStringLiteral("out/")) + name.left(15) + QStringLiteral("wi") + name.mid(17);
        ASSERT_TRUE(QFile::exists(output)) << output.toStdString();
        // The output decodes to this file's own winter colours, the snow running on from
        // file to file: the library's decoding of the summer texture is what the window's
        // preview worked on.
        const QString colour = path(QStringLiteral("replica-main.bmp"));
        QFile summer(colour);
        ASSERT_TRUE(summer.open(QIODevice::WriteOnly | QIODevice::Truncate));
        summer.write(decodeColour(source + QLatin1Char('/') + name));
        summer.close();
        season::runWinterPass(colour.toStdString(),
                              path(QStringLiteral("replica-w.bmp")).toStdString(),
                              int(form->NumEdit1->Number()), replica);
        // Snow is per-pixel noise, which DXT1 smooths: the bound is looser than for plain
        // colours, and the output must be nearer its winter colours than its summer ones.
        const QByteArray decoded = decodeColour(output);
        const double toWinter = psnr(decoded, readFile(path(QStringLiteral("replica-w.bmp"))));
        EXPECT_GT(toWinter, psnr(decoded, readFile(colour))) << name.toStdString();
        EXPECT_GT(toWinter, 22.0) << name.toStdString();
    }
    EXPECT_EQ(replica.state(), season::processSnowNoise().state());
    // The last file stays selected, with its previews.
    EXPECT_EQ(form->FileListBox1->currentRow(), 2);
    EXPECT_EQ(readFile(work("tempw.bmp")), readFile(path(QStringLiteral("replica-w.bmp"))));
}

// Records the paint events the widgets of a window receive, in order.
class PaintRecorder : public QObject
{
  public:
    explicit PaintRecorder(QWidget *window)
    {
        window->installEventFilter(this);
        for (QWidget *widget : window->findChildren<QWidget *>())
            widget->installEventFilter(this);
    }
    int count(QWidget *widget) const { return int(painted.count(widget)); }
    // The widgets other than those allowed that were painted after the first paint of `from`.
    QString othersAfter(QWidget *from, const QList<QWidget *> &allowed) const
    {
        QStringList names;
        for (qsizetype i = painted.indexOf(from); i >= 0 && i < painted.size(); ++i) {
            if (!allowed.contains(painted[i]))
                names << QStringLiteral("%1 (%2)").arg(
                    painted[i]->objectName(), QLatin1String(painted[i]->metaObject()->className()));
        }
        return names.join(QStringLiteral(", "));
    }
    void reset() { painted.clear(); }

  protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted << static_cast<QWidget *>(object);
        return false;
    }

  private:
    QList<QWidget *> painted;
};

TEST_F(PipelineTest, ATextureSetRepaintsOnlyTheColourAndTheSeasonPreview)
{
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    clickEntry(0); // the file list and the previews have something to show
    QTest::qWait(50);
    PaintRecorder paints(form.get());
    const QList<std::pair<QPushButton *, TImage *>> sets = {{form->Button3, form->Image2},
                                                            {form->Button5, form->Image3}};
    for (const auto &[button, season] : sets) {
        paints.reset();
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
        // At least one immediate repaint of each per file, and nothing else from the first
        // file's repaint on.
        EXPECT_GE(paints.count(form->Image1), 3);
        EXPECT_GE(paints.count(season), 3);
        EXPECT_EQ(paints.othersAfter(form->Image1, {form->Image1, season}).toStdString(), "");
        // Once the set has ended the rest of the window catches up.
        QTest::qWait(50);
        EXPECT_GT(paints.count(form->FileListBox1->viewport()), 0);
    }
}

TEST_F(PipelineTest, FallSetWithCreateSuReplacesEachSummerTextureInPlace)
{
    form->DirectoryListBox2->setDirectory(source);
    form->CreateSU->setChecked(true);
    QStringList names = QDir(source).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    QList<QByteArray> before;
    for (const QString &name : names)
        before << decodeColour(source + QLatin1Char('/') + name);

    form->Button5->click();
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(QDir(source).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase), names);
    for (int i = 0; i < names.size(); ++i) {
        const QByteArray after = decodeColour(source + QLatin1Char('/') + names[i]);
        // Each file was converted from its own content: close to it, yet browned.
        EXPECT_NE(after, before[i]);
        EXPECT_GT(psnr(after, before[i]), 15.0) << names[i].toStdString();
    }
}

TEST_F(PipelineTest, DamagedTextureEndsTheSetAtThatFile)
{
    const QStringList names = QDir(source).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    QFile damaged(source + QLatin1Char('/') + names[1]);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write(QByteArray(100, 'x'));
    damaged.close();

    form->Button5->click();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.first().contains(names[1])) << errors.first().toStdString();
    auto fallName = [](const QString &name) {
        return name.left(15) + QStringLiteral("fa") + name.mid(17);
    };
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("out/")) + fallName(names[0])));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("out/")) + fallName(names[1])));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("out/")) + fallName(names[2])));
}

TEST_F(PipelineTest, EmptyListWritesNothing)
{
    form->DirectoryListBox1->setDirectory(path(QStringLiteral("out")));
    form->Button3->click();
    EXPECT_TRUE(QDir(path(QStringLiteral("out"))).isEmpty());
    EXPECT_FALSE(QFile::exists(work("targa.tga")));
}

TEST_F(PipelineTest, SavingAPreviewWritesThatSeason)
{
    clickEntry(0);
    QStringList offered;
    QString answer;
    form->save.execute = [&](SaveDialog &dialog) {
        offered << dialog.initialDir;
        if (answer.isEmpty())
            return false;
        dialog.fileName = answer;
        return true;
    };

    // Cancelling writes nothing and keeps the initial folder.
    QTest::mouseDClick(form->Image2, Qt::LeftButton);
    EXPECT_TRUE(QDir(path(QStringLiteral("out"))).isEmpty());
    EXPECT_TRUE(form->save.initialDir.isEmpty());

    answer = path(QStringLiteral("out/winter.bmp"));
    QTest::mouseDClick(form->Image2, Qt::LeftButton);
    answer = path(QStringLiteral("out/fall.bmp"));
    QTest::mouseDClick(form->Image3, Qt::LeftButton);
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(form->save.initialDir, path(QStringLiteral("out")));

    const QByteArray winter = decodeColour(path(QStringLiteral("out/winter.bmp")));
    const QByteArray fall = decodeColour(path(QStringLiteral("out/fall.bmp")));
    EXPECT_GT(psnr(winter, readFile(work("tempw.bmp"))), 22.0);
    EXPECT_GT(psnr(winter, readFile(work("tempw.bmp"))), psnr(winter, readFile(work("tempf.bmp"))));
    EXPECT_GT(psnr(fall, readFile(work("tempf.bmp"))), 30.0);
    EXPECT_LT(psnr(fall, readFile(work("tempw.bmp"))), psnr(fall, readFile(work("tempf.bmp"))));
}

TEST_F(PipelineTest, FailedSaveLeavesTheChosenFileAsItWas)
{
    clickEntry(0);
    const QString chosen = earlierTexture("out/existing.bmp");
    form->save.execute = [&](SaveDialog &dialog) {
        dialog.fileName = chosen;
        return true;
    };
    QFile::remove(work("alpha.bmp")); // the join cannot run

    for (TImage *preview : {form->Image2, form->Image3})
        QTest::mouseDClick(preview, Qt::LeftButton);
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors[1].contains(QStringLiteral("alpha.bmp"))) << errors[1].toStdString();
    EXPECT_EQ(readFile(chosen), QByteArray("an earlier texture"));
}

TEST_F(PipelineTest, AStopRequestEndsTheSetAfterTheTextureInHand)
{
    int asked = 0;
    environment.stopRequested = [&asked] { return ++asked > 1; }; // once the first is done
    form.reset();
    makeForm();
    form->Button3->click();
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    const QStringList written =
        QDir(path(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(written.size(), 1) << written.join(' ').toStdString();
    EXPECT_TRUE(written.first().endsWith(QStringLiteral("wi.bmp")));
    EXPECT_FALSE(decodeColour(path(QStringLiteral("out/")) + written.first()).isEmpty());
}

TEST_F(PipelineTest, ReplacingAFileAsksWithItsNameAsWritten)
{
    clickEntry(0);
    const QString chosen = earlierTexture("out/<b>bold x.bmp");
    form->save.execute = executeFileDialog;
    form->save.initialDir = path(QStringLiteral("out"));
    form->save.fileName = chosen;

    // The dialog opens on the existing name and is accepted; the question is answered "No",
    // and the dialog, shown again, is cancelled. Each answer is given from the event loop,
    // outside the driver's own tick, so that a box the answer opens is seen by the next tick.
    bool shownAgain = false;
    QStringList questions;
    QList<Qt::TextFormat> formats;
    QTimer driver;
    bool answering = false; // an answer is on its way
    const auto answer = [&answering](const std::function<void()> &action) {
        answering = true;
        QTimer::singleShot(0, [&answering, action] {
            answering = false;
            action();
        });
    };
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (answering)
            return;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            questions << (label ? label->text() : box->text());
            formats << (label ? label->textFormat() : box->textFormat());
            answer([box] { box->button(QMessageBox::No)->click(); });
        } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            if (questions.isEmpty()) {
                answer([dialog] { QMetaObject::invokeMethod(dialog, "accept"); });
            } else {
                shownAgain = true;
                answer([dialog] { dialog->reject(); });
            }
        }
    });
    driver.start(50);
    form->Image2DblClick(form->Image2);
    driver.stop();

    EXPECT_TRUE(shownAgain) << "\"No\" goes back to the dialog";
    ASSERT_EQ(questions.size(), 1);
    EXPECT_EQ(formats.first(), Qt::PlainText);
    EXPECT_TRUE(questions.first().startsWith(QStringLiteral("<b>bold x.bmp already exists.")))
        << questions.first().toStdString();
    EXPECT_EQ(readFile(chosen), QByteArray("an earlier texture"));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(PipelineTest, OpeningATextureShowsItsFolderWithItSelectedAndPreviewed)
{
    form->DirectoryListBox1->setDirectory(path(QStringLiteral("out")));
    form->openPath(source + QLatin1Char('/') +
                   QDir(source).entryList({QStringLiteral("*su.bmp")}, QDir::Files, QDir::Name)[1]);
    EXPECT_EQ(form->DirectoryListBox1->Directory(), source);
    EXPECT_EQ(form->FileListBox1->selectedIndex(), 1);
    EXPECT_FALSE(form->Image1->pixmap().isNull());
    EXPECT_FALSE(form->Image2->pixmap().isNull());
    EXPECT_TRUE(QFile::exists(work("tempf.bmp")));

    // A folder becomes the source folder.
    form->openPath(path(QStringLiteral("out")));
    EXPECT_EQ(form->DirectoryListBox1->Directory(), path(QStringLiteral("out")));

    // Anything else is refused, naming it.
    QFile other(path(QStringLiteral("out/notes.bmp")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    for (const QString &refused :
         {path(QStringLiteral("out/notes.bmp")), path(QStringLiteral("out/gone.bmp"))}) {
        try {
            form->openPath(refused);
            ADD_FAILURE() << "opened " << refused.toStdString();
        } catch (const platform::Error &error) {
            EXPECT_TRUE(QString::fromUtf8(error.what()).contains(refused)) << error.what();
        }
    }
}

TEST_F(PipelineTest, SaveInTheRootFolderKeepsItsSeparator)
{
    form->save.execute = [](SaveDialog &dialog) {
        dialog.fileName = QStringLiteral("/tessavane-no-such-folder/x.bmp");
        return true;
    };
    form->Image2DblClick(form->Image1); // neither season: only the dialog's folder changes
    EXPECT_EQ(form->save.initialDir, QStringLiteral("/tessavane-no-such-folder"));
    form->save.execute = [](SaveDialog &dialog) {
        dialog.fileName = QStringLiteral("/x.bmp");
        return true;
    };
    form->Image2DblClick(form->Image1);
    EXPECT_EQ(form->save.initialDir, QStringLiteral("/"));
}

} // namespace
