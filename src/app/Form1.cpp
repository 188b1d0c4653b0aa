#include "app/Form1.h"

#include "about/AboutForm.h"
#include "about/AppIcon.h"
#include "controls/DirectoryListBox.h"
#include "controls/DriveComboBox.h"
#include "controls/FileListBox.h"
#include "controls/FormSupport.h"
#include "controls/Image.h"
#include "controls/NumEdit.h"
#include "controls/UpDown.h"
#include "platform/Error.h"
#include "platform/ErrorSink.h"
#include "platform/FileNames.h"
#include "platform/Fs2004Locator.h"
#include "season/Adjustment.h"
#include "season/ConversionSteps.h"
#include "season/SeasonNaming.h"
#include "season/SeasonPass.h"
#include "season/SnowNoise.h"
#include "settings/StoredSettings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>

#include <filesystem>

namespace {

const QString kHelpText = QStringLiteral(
    "Program for creating variably 'seasoned' textures from photoreal textures in FS2004\n\n"
    "Double-click a season image to save individually\n\n"
    "Use the Adjustments to vary the amount of Snow or Browning");

std::filesystem::path toPath(const QString &path)
{
    return platform::toNativePath(path);
}

// The inverse of toPath(): a path's bytes held in a QString.
QString fromPath(const std::filesystem::path &path)
{
    return platform::decodeFileName(path.native());
}

using controls::handler;
using settings::StoredSettings;

} // namespace

std::unique_ptr<QMessageBox> makeOverwriteQuestion(const QString &path, const QString &title,
                                                   QWidget *parent)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    auto box = std::make_unique<QMessageBox>(
        QMessageBox::Warning, title,
        QStringLiteral("%1 already exists.\nDo you want to replace it?")
            .arg(platform::displayFileName(path.mid(slash + 1))),
        QMessageBox::Yes | QMessageBox::No, parent);
    // File names may look like markup.
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(QMessageBox::No);
    return box;
}

bool executeFileDialog(SaveDialog &dialog)
{
    QFileDialog box;
    box.setAcceptMode(QFileDialog::AcceptSave);
    box.setFileMode(QFileDialog::AnyFile);
    // The toolkit's own question reads the name as markup; the dialog asks its own.
    box.setOption(QFileDialog::DontConfirmOverwrite);
    // "Windows Bitmap|*.bmp" pairs a description with its pattern.
    const QStringList parts = dialog.filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << QStringLiteral("%1 (%2)").arg(parts[i], parts[i + 1]);
    box.setNameFilters(filters);
    box.setDefaultSuffix(dialog.defaultExt);
    if (!dialog.initialDir.isEmpty())
        box.setDirectory(dialog.initialDir);
    if (!dialog.fileName.isEmpty())
        box.selectFile(dialog.fileName);
    for (;;) {
        if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
            return false;
        const QString chosen = box.selectedFiles().constFirst();
        std::error_code ignored;
        if (!std::filesystem::exists(platform::toNativePath(chosen), ignored) ||
            makeOverwriteQuestion(chosen, box.windowTitle(), &box)->exec() == QMessageBox::Yes) {
            dialog.fileName = chosen;
            return true;
        }
        // "No" goes back to the dialog, with the name still chosen.
        box.selectFile(chosen);
    }
}

TForm1::TForm1(const FormEnvironment &environment, QWidget *parent) : QWidget(parent)
{
    save.execute = executeFileDialog;
    showAboutModal = [](TAboutForm &form) { form.exec(); };
    createControls();
    wireEvents();
    constructionStep(environment);
    m_destinationFolder = DirectoryListBox2->Directory();
}

TForm1::~TForm1() = default;

void TForm1::createControls()
{
    setWindowTitle(QStringLiteral("Tessavane for FS2004 photo textures"));
    setFixedSize(725, 560);
    setFont(controls::layoutFont());
    setWindowIcon(about::windowIcon());
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);

    auto place = [](QWidget *control, int left, int top, int width, int height) {
        control->setGeometry(left, top, width, height);
    };

    Image1 = new TImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    place(Image1, 456, 296, 256, 256);
    Image2 = new TImage(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    place(Image2, 184, 32, 256, 256);
    Label1 = new QLabel(QStringLiteral("Snow Setting for Winter"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    place(Label1, 272, 300, 112, 13);
    Label1->adjustSize();
    Label2 = new QLabel(QStringLiteral("Adjustment for Fall"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setTextFormat(Qt::PlainText);
    place(Label2, 272, 332, 86, 13);
    Label2->adjustSize();
    Image3 = new TImage(this);
    Image3->setObjectName(QStringLiteral("Image3"));
    place(Image3, 456, 32, 256, 256);

    // The form stores Number, then Max, then Min: 105 is first held to the default bounds.
    NumEdit1 = new TNumEdit(this);
    NumEdit1->setObjectName(QStringLiteral("NumEdit1"));
    place(NumEdit1, 184, 296, 65, 21);
    NumEdit1->setNumber(105);
    NumEdit1->setMax(StoredSettings::winter.highest);
    NumEdit1->setMin(StoredSettings::winter.lowest);
    UpDown1 = new TUpDown(this);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    place(UpDown1, 249, 296, 15, 21);
    UpDown1->setMin(StoredSettings::winter.lowestStep);
    UpDown1->setMax(StoredSettings::winter.highest);
    UpDown1->setPosition(105);
    UpDown1->setWrap(false);

    Button3 = new QPushButton(QStringLiteral("Create Winter Texture set"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    place(Button3, 184, 8, 257, 25);
    Button5 = new QPushButton(QStringLiteral("Create Fall Texture set"), this);
    Button5->setObjectName(QStringLiteral("Button5"));
    place(Button5, 456, 8, 257, 25);

    NumEdit2 = new TNumEdit(this);
    NumEdit2->setObjectName(QStringLiteral("NumEdit2"));
    place(NumEdit2, 184, 328, 65, 21);
    NumEdit2->setNumber(10);
    NumEdit2->setMax(StoredSettings::fall.highest);
    NumEdit2->setMin(StoredSettings::fall.lowest);
    UpDown2 = new TUpDown(this);
    UpDown2->setObjectName(QStringLiteral("UpDown2"));
    place(UpDown2, 249, 328, 15, 21);
    UpDown2->setMin(StoredSettings::fall.lowestStep);
    UpDown2->setMax(StoredSettings::fall.highest);
    UpDown2->setPosition(10);
    UpDown2->setWrap(false);

    DriveComboBox1 = new TDriveComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    place(DriveComboBox1, 8, 8, 177, 19);
    DirectoryListBox1 = new TDirectoryListBox(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    place(DirectoryListBox1, 8, 32, 169, 105);
    FileListBox1 = new TFileListBox(this);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    place(FileListBox1, 8, 144, 169, 401);
    FileListBox1->setMask(StoredSettings::summerMask);
    FileListBox1->setSelectionMode(QAbstractItemView::SingleSelection);

    View = new QPushButton(QStringLiteral("Refresh"), this);
    View->setObjectName(QStringLiteral("View"));
    place(View, 184, 360, 81, 25);

    GroupBox1 = new QGroupBox(QStringLiteral("Destination Folder"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    place(GroupBox1, 280, 368, 161, 185);
    DriveComboBox2 = new TDriveComboBox(GroupBox1);
    DriveComboBox2->setObjectName(QStringLiteral("DriveComboBox2"));
    place(DriveComboBox2, 24, 22, 121, 19);
    DirectoryListBox2 = new TDirectoryListBox(GroupBox1);
    DirectoryListBox2->setObjectName(QStringLiteral("DirectoryListBox2"));
    place(DirectoryListBox2, 24, 48, 121, 121);

    CreateSU = new QCheckBox(QStringLiteral("Create SU"), this);
    CreateSU->setObjectName(QStringLiteral("CreateSU"));
    place(CreateSU, 184, 400, 89, 17);
    HideAll = new QCheckBox(QStringLiteral("Hide Conversion"), this);
    HideAll->setObjectName(QStringLiteral("HideAll"));
    place(HideAll, 184, 424, 89, 17);
    HideAll->setVisible(false);

    about = new QPushButton(QStringLiteral("About"), this);
    about->setObjectName(QStringLiteral("about"));
    place(about, 192, 520, 73, 25);

    addToolTips();
    for (QPushButton *button : {Button3, Button5, View, about})
        controls::pressOnEnter(button);

    // Links between the controls that need no handler.
    DriveComboBox1->setDirList(DirectoryListBox1);
    DirectoryListBox1->setFileList(FileListBox1);
    DriveComboBox2->setDirList(DirectoryListBox2);

    // Binding the arrows writes their positions into the edits, as loading the layout does.
    UpDown1->setAssociate(NumEdit1);
    UpDown2->setAssociate(NumEdit2);

    // Tab order: NumEdit1, UpDown1, Button3, Button5, NumEdit2, UpDown2, DriveComboBox1,
    // DirectoryListBox1, FileListBox1, View, GroupBox1 (DriveComboBox2, DirectoryListBox2),
    // CreateSU, HideAll, about.
    const QList<QWidget *> order = {NumEdit1,     UpDown1, Button3,        Button5,
                                    NumEdit2,     UpDown2, DriveComboBox1, DirectoryListBox1,
                                    FileListBox1, View,    DriveComboBox2, DirectoryListBox2,
                                    CreateSU,     HideAll, about};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

void TForm1::addToolTips()
{
    const QString snow = QStringLiteral(
        "Snow setting for winter, 0 to 255: every pixel brighter than this becomes snow.\n"
        "Lower gives more snow, higher less. Takes effect at the next preview or set.");
    const QString fall = QStringLiteral(
        "Adjustment for fall, 0 to 25: how far the colours shift towards brown.\n"
        "0 leaves them as they are, higher browns more. Takes effect at the next preview or "
        "set.");
    for (QWidget *control : {static_cast<QWidget *>(NumEdit1), static_cast<QWidget *>(UpDown1),
                             static_cast<QWidget *>(Label1)})
        control->setToolTip(snow);
    for (QWidget *control : {static_cast<QWidget *>(NumEdit2), static_cast<QWidget *>(UpDown2),
                             static_cast<QWidget *>(Label2)})
        control->setToolTip(fall);
    Button3->setToolTip(QStringLiteral(
        "Write the winter version of every texture in the list into the destination folder,\n"
        "named with \"wi\" in place of \"su\" (an existing file of that name is replaced)."));
    Button5->setToolTip(QStringLiteral(
        "Write the fall version of every texture in the list into the destination folder,\n"
        "named with \"fa\" in place of \"su\" (an existing file of that name is replaced)."));
    CreateSU->setToolTip(QStringLiteral(
        "Texture sets keep the summer name (\"su\") instead of \"wi\" or \"fa\".\n"
        "With the destination equal to the source folder this replaces the summer textures."));
    View->setToolTip(
        QStringLiteral("Make the three previews again from the selected texture with the current "
                       "adjustments."));
    FileListBox1->setToolTip(
        QStringLiteral("The summer textures of the folder above; select one to preview it."));
    const QString destination =
        QStringLiteral("The folder where \"Create Winter Texture set\" and \"Create Fall "
                       "Texture set\" write.");
    for (QWidget *control :
         {static_cast<QWidget *>(GroupBox1), static_cast<QWidget *>(DriveComboBox2),
          static_cast<QWidget *>(DirectoryListBox2)})
        control->setToolTip(destination);
    Image1->setToolTip(QStringLiteral("Summer: the colour part of the selected texture."));
    Image2->setToolTip(
        QStringLiteral("Winter preview. Double-click to save it as a texture under a name "
                       "you choose."));
    Image3->setToolTip(
        QStringLiteral("Fall preview. Double-click to save it as a texture under a name "
                       "you choose."));
}

void TForm1::wireEvents()
{
    connect(FileListBox1, &TFileListBox::changed, this, handler([this] { FileListBox1Change(); }));
    connect(View, &QPushButton::clicked, this, handler([this] { ViewClick(); }));
    connect(Button3, &QPushButton::clicked, this, handler([this] { Button3Click(); }));
    connect(Button5, &QPushButton::clicked, this, handler([this] { Button5Click(); }));
    connect(Image2, &TImage::doubleClicked, this, handler([this] { Image2DblClick(Image2); }));
    connect(Image3, &TImage::doubleClicked, this, handler([this] { Image2DblClick(Image3); }));
    connect(DirectoryListBox2, &TDirectoryListBox::changed, this,
            handler([this] { DirectoryListBox2Change(); }));
    connect(about, &QPushButton::clicked, this, handler([this] { aboutClick(); }));
}

void TForm1::constructionStep(const FormEnvironment &environment)
{
    m_programFolder = environment.programFolder;
    if (!m_programFolder.endsWith(QLatin1Char('/')))
        m_programFolder += QLatin1Char('/');
    m_work.folder = toPath(m_programFolder);

    const platform::Fs2004Location fs2004 = platform::locateFs2004(environment.winePrefix);
    QString sourceDefault;
    if (!fs2004.found) {
        if (environment.beep)
            environment.beep();
    } else {
        sourceDefault = fs2004.textureFolder;
    }

    m_stopRequested = environment.stopRequested;
    m_store = std::make_unique<StoredSettings>(environment.settingsFile);
    const QString source = m_store->sourceFolder(sourceDefault);
    const QString destinationDefault =
        environment.destinationDefault.isEmpty() ? m_programFolder : environment.destinationDefault;
    const QString destination = m_store->destinationFolder(destinationDefault);
    // The default destination outside the program folder is made when it is first used.
    if (destination == destinationDefault) {
        std::error_code ignored;
        std::filesystem::create_directories(toPath(destination), ignored);
    }

    // A stored folder that can no longer be entered leaves the lists where they started.
    try {
        DirectoryListBox1->setDirectory(source);
        DirectoryListBox2->setDirectory(destination);
    } catch (const platform::Error &) {
    }

    NumEdit1->setNumber(m_store->adjustment(StoredSettings::winter));
    NumEdit2->setNumber(m_store->adjustment(StoredSettings::fall));
}

void TForm1::FormClose()
{
    if (m_store) {
        m_store->setSourceFolder(DirectoryListBox1->Directory());
        m_store->setDestinationFolder(DirectoryListBox2->Directory());
        m_store->setAdjustment(StoredSettings::winter,
                               season::truncateAdjustment(NumEdit1->Number()));
        m_store->setAdjustment(StoredSettings::fall,
                               season::truncateAdjustment(NumEdit2->Number()));
        m_store->release();
        m_store.reset();
    }
    std::error_code ignored;
    std::filesystem::remove(m_work.winter(), ignored);
    std::filesystem::remove(m_work.fall(), ignored);
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // A failure to save the settings keeps the window open, so nothing is lost silently.
    if (platform::guarded([this] { FormClose(); }))
        event->accept();
    else
        event->ignore();
}

void TForm1::FileListBox1Change()
{
    ViewClick();
}

void TForm1::ViewClick()
{
    const QString texture = FileListBox1->FileName();
    if (texture.isEmpty())
        return;
    try {
        season::forTexture(toPath(texture), [&] {
            season::convertToWorkingFiles(m_work, toPath(texture));
            Image1->LoadFromFile(fromPath(m_work.colour()));
            Button2Click();
            Button6Click();
        });
    } catch (...) {
        // The list already highlights the new texture: previews of the previous one must not
        // pass for it, nor be saved under its name.
        clearPreviews();
        throw;
    }
}

void TForm1::clearPreviews()
{
    for (TImage *preview : {Image1, Image2, Image3})
        preview->clear();
}

void TForm1::Button2Click()
{
    const int threshold = season::truncateAdjustment(NumEdit1->Number());
    season::runWinterPass(m_work.colour(), m_work.winter(), threshold, season::processSnowNoise());
    Image2->LoadFromFile(fromPath(m_work.winter()));
}

void TForm1::Button6Click()
{
    const int amount = season::truncateAdjustment(NumEdit2->Number());
    season::runFallPass(m_work.colour(), m_work.fall(), amount);
    Image3->LoadFromFile(fromPath(m_work.fall()));
}

TImage *TForm1::seasonImage(season::Season season) const
{
    return season == season::Season::Winter ? Image2 : Image3;
}

void TForm1::makeTextureSet(season::Season season)
{
    // While the set runs only the colour preview and the season preview are painted: every
    // other control waits until the set ends. What the click that started the set left to
    // paint (the pressed button, the focus) is shown first, once.
    QCoreApplication::sendPostedEvents(window(), QEvent::UpdateRequest);
    QList<QPointer<QWidget>> held;
    for (QWidget *control : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (control != Image1 && control != seasonImage(season) && control->updatesEnabled()) {
            control->setUpdatesEnabled(false);
            held << control;
        }
    }
    const auto release = qScopeGuard([&held] {
        for (const QPointer<QWidget> &control : held)
            if (control)
                control->setUpdatesEnabled(true);
    });

    for (int i = 0; i < FileListBox1->count(); ++i) {
        // A stop request ends the set between two textures: the one in hand is finished.
        if (m_stopRequested && m_stopRequested())
            break;
        FileListBox1->selectItem(i);
        const QString name = FileListBox1->item(i)->text();
        FileListBox1Change();
        if (!HideAll->isChecked()) {
            Image1->repaint();
            seasonImage(season)->repaint();
        }
        const std::string outputName = season::seasonOutputName(
            platform::encodeFileName(name).toStdString(), season, CreateSU->isChecked());
        const QString output =
            m_destinationFolder + QLatin1Char('/') + platform::decodeFileName(outputName);
        season::forTexture(toPath(FileListBox1->FileName()),
                           [&] { season::writeSeasonTexture(m_work, season, toPath(output)); });
    }
}

void TForm1::Button3Click()
{
    makeTextureSet(season::Season::Winter);
}

void TForm1::Button5Click()
{
    makeTextureSet(season::Season::Fall);
}

void TForm1::Image2DblClick(QObject *Sender)
{
    // Without a current preview there is nothing to save.
    if ((Sender == Image2 || Sender == Image3) && static_cast<TImage *>(Sender)->pixmap().isNull())
        return;
    if (!save.execute(save))
        return;
    const QString chosen = save.fileName;
    // The next save starts in the folder of this one; a root keeps its separator.
    const qsizetype slash = chosen.lastIndexOf(QLatin1Char('/'));
    save.initialDir = slash <= 0 ? QStringLiteral("/") : chosen.left(slash);

    if (Sender == Image2) {
        season::writeSeasonTexture(m_work, season::Season::Winter, toPath(chosen));
    } else if (Sender == Image3) {
        // The fall save first places the plain colour bitmap at the chosen path, and the
        // conversion then replaces it with the texture. An existing file is left to the
        // conversion alone, which replaces it only with a complete texture, so a failed save
        // never destroys it.
        std::error_code ignored;
        std::filesystem::copy_file(m_work.fall(), toPath(chosen),
                                   std::filesystem::copy_options::none, ignored);
        season::writeSeasonTexture(m_work, season::Season::Fall, toPath(chosen));
    }
}

void TForm1::openPath(const QString &path)
{
    const std::filesystem::path native = toPath(path);
    std::error_code error;
    const auto status = std::filesystem::status(native, error);
    const auto refuse = [&](const QString &reason) {
        return platform::Error(QStringLiteral("Cannot open \"%1\": %2")
                                   .arg(platform::displayFileName(path), reason)
                                   .toStdString());
    };
    if (error)
        throw refuse(QString::fromStdString(error.message()));
    if (std::filesystem::is_directory(status)) {
        DirectoryListBox1->setDirectory(path);
        return;
    }
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash == 0 ? QStringLiteral("/") : path.left(slash);
    const QString name = path.mid(slash + 1);
    DirectoryListBox1->setDirectory(folder);
    for (int i = 0; i < FileListBox1->count(); ++i) {
        if (FileListBox1->item(i)->text() == name) {
            FileListBox1->selectItem(i);
            FileListBox1Change();
            return;
        }
    }
    throw refuse(QStringLiteral("not a summer texture (a name of 15 characters followed by "
                                "\"su.bmp\")"));
}

void TForm1::DirectoryListBox2Change()
{
    m_destinationFolder = DirectoryListBox2->Directory();
}

void TForm1::aboutClick()
{
    if (!AboutForm)
        return;
    AboutForm->setHelpText(kHelpText);
    showAboutModal(*AboutForm);
}
