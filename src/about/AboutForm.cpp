// The About dialog: layout, the version label and the support-library list.
#include "about/AboutForm.h"

#include "about/AppIcon.h"
#include "about/SupportLibraries.h"
#include "controls/ExeButtn.h"
#include "controls/FormSupport.h"
#include "controls/mbutton.h"
#include "platform/AppTitle.h"
#include "platform/ErrorSink.h"
#include "platform/FileNames.h"
#include "platform/LibrarySearch.h"
#include "platform/ShellOpen.h"
#include "platform/VersionInfo.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int libraryNameColumn = 12;

const char *const makerText = "Kestrava writes small programs\n"
                              "for viewing and converting images\n"
                              "and for building flight-simulator\n"
                              "scenery: texture tools, format\n"
                              "converters and seasonal add-ons.\n"
                              "\n"
                              "Most of them share the kovar\n"
                              "system libraries (see \"DLLs\").\n"
                              "\n"
                              "Our website: the button below.";

const char *const legalText = "Tessavane is copyright Kestrava.\n"
                              "All rights reserved.\n"
                              "\n"
                              "You may use this program free\n"
                              "of charge, at home or at work.\n"
                              "\n"
                              "Textures you make with it are\n"
                              "your own: use, share or sell\n"
                              "them without asking us.\n"
                              "\n"
                              "You may pass on unchanged\n"
                              "copies of the program and the\n"
                              "kovar libraries, free of charge\n"
                              "and with this notice. Selling\n"
                              "them, or bundling them with\n"
                              "anything sold, needs our\n"
                              "written permission.\n"
                              "\n"
                              "The program comes as it is,\n"
                              "without warranty of any kind.";

// The dialog's font. The layout's fixed label sizes were made for "MS Sans Serif"; the
// common desktop sans-serif fonts are wider, so without it the system font is used in its
// semi-condensed width, where the labels' texts still fit.
QFont dialogFont()
{
    QFont font = controls::layoutFont();
    if (!controls::hasFontFamily(QStringLiteral("MS Sans Serif")))
        font.setStretch(QFont::SemiCondensed);
    return font;
}

void place(QWidget *control, int left, int top, int width, int height)
{
    control->setGeometry(left, top, width, height);
}

QLabel *wrappedLabel(QWidget *parent, const QString &text, Qt::Alignment alignment)
{
    auto *label = new QLabel(parent);
    // Texts are shown as written, never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setWordWrap(true);
    label->setAlignment(alignment);
    return label;
}

QPlainTextEdit *memo(QWidget *parent, const char *text)
{
    auto *edit = new QPlainTextEdit(QString::fromUtf8(text), parent);
    edit->setReadOnly(false);
    return edit;
}

TMButton *pictureButton(QWidget *parent, const QString &picture, const QString &hint)
{
    auto *button = new TMButton(parent);
    button->setBitmap(QImage(picture));
    button->setBorder(false);
    button->setStretch(false);
    // The page shows around the picture, with no button-coloured plate.
    button->setParentColor(true);
    button->setToolTip(hint);
    return button;
}

// Inserts text at its place in the list's case-insensitive order, after equal entries.
void insertSorted(QListWidget *list, const QString &text, int itemHeight)
{
    int row = 0;
    while (row < list->count() && list->item(row)->text().compare(text, Qt::CaseInsensitive) <= 0)
        ++row;
    auto *item = new QListWidgetItem(text);
    item->setSizeHint(QSize(list->fontMetrics().horizontalAdvance(text) + 4, itemHeight));
    list->insertItem(row, item);
}

} // namespace

TAboutForm::TAboutForm(QWidget *parent) : QDialog(parent)
{
    // By its bytes, so a program folder whose name is not UTF-8 still shows the version.
    executablePath = platform::executablePath();
    if (executablePath.isEmpty())
        executablePath = QCoreApplication::applicationFilePath();
    findLibrary = [](const QString &bareName) {
        return platform::findLibrary(bareName, platform::librarySearchFolders());
    };
    createControls();
    wireEvents();

    m_helpText.clear();
    QIcon icon = QGuiApplication::windowIcon();
    if (icon.isNull())
        icon = about::applicationIcon();
    ExeButton1->setIcon(icon);
    ExeButton1->setCaption(platform::applicationTitle(QCoreApplication::applicationFilePath()));
}

TAboutForm::~TAboutForm() = default;

QString TAboutForm::websiteAddress()
{
    return QStringLiteral("https://www.example.com/kestrava/");
}

QString TAboutForm::contactAddress()
{
    return QStringLiteral("mailto:kestrava@example.com");
}

void TAboutForm::createControls()
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About "));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(QIcon(QStringLiteral(":/about/dialogicon.png")));
    setFixedSize(494, 324);
    setFont(dialogFont());

    PageControl1 = new QTabWidget(this);
    place(PageControl1, 0, 0, 494, 324);

    TabSheet1 = new QWidget;
    PageControl1->addTab(TabSheet1, QStringLiteral("Program"));
    ExeButton1 = new TExeButton(TabSheet1);
    place(ExeButton1, 24, 24, 104, 40);
    ExeButton1->setDown(true);
    ExeButton1->setAuto(true);
    ExeButton1->setParentColor(true);
    Label2 = new QLabel(TabSheet1);
    Label2->setTextFormat(Qt::PlainText);
    place(Label2, 136, 36, 57, 13);
    Label1 = wrappedLabel(TabSheet1, QString(), Qt::AlignLeft | Qt::AlignTop);
    place(Label1, 24, 80, 225, 185);

    TabSheet2 = new QWidget;
    PageControl1->addTab(TabSheet2, QStringLiteral("Kestrava"));
    Memo3 = memo(TabSheet2, makerText);
    place(Memo3, 8, 16, 217, 145);
    Memo3->setFrameShape(QFrame::NoFrame);
    Memo3->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo3->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo3->setBackgroundRole(QPalette::Window);
    Memo3->viewport()->setAutoFillBackground(false);
    Memo3->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
    MButton3 = pictureButton(TabSheet2, QStringLiteral(":/about/website.png"),
                             QStringLiteral("Visit the Kestrava Website"));
    place(MButton3, 56, 184, 49, 41);
    MButton2 =
        pictureButton(TabSheet2, QStringLiteral(":/about/contact.png"), QStringLiteral("Contact"));
    place(MButton2, 112, 184, 49, 41);

    TabSheet4 = new QWidget;
    PageControl1->addTab(TabSheet4, QStringLiteral("DLLs"));
    Label11 = wrappedLabel(TabSheet4,
                           QStringLiteral("Many Kestrava programs require the kovar system Dlls "
                                          "in order to function. Your system has the following "
                                          "Versions installed"),
                           Qt::AlignHCenter | Qt::AlignTop);
    place(Label11, 8, 8, 217, 41);
    ListBox1 = new QListWidget(TabSheet4);
    place(ListBox1, 8, 56, 217, 113);
    QFont fixed = controls::layoutFont(QStringLiteral("Courier New"), QFontDatabase::FixedFont);
    fixed.setFixedPitch(true);
    fixed.setStyleHint(QFont::TypeWriter);
    ListBox1->setFont(fixed);
    QPalette listColours = ListBox1->palette();
    listColours.setColor(QPalette::Base, listColours.color(QPalette::Button));
    listColours.setColor(QPalette::Text, Qt::black);
    ListBox1->setPalette(listColours);
    ListBox1->setUniformItemSizes(true);
    Label3 = wrappedLabel(TabSheet4, QStringLiteral("Click on entry for description"),
                          Qt::AlignHCenter | Qt::AlignTop);
    place(Label3, 8, 176, 217, 57);
    MButton4 = pictureButton(TabSheet4, QStringLiteral(":/about/website.png"),
                             QStringLiteral("Visit the Kestrava Website"));
    place(MButton4, 16, 240, 49, 41);
    Label12 = wrappedLabel(TabSheet4,
                           QStringLiteral("Visit the Kestrava Website to obtain the latest "
                                          "versions of the system Dlls"),
                           Qt::AlignLeft | Qt::AlignTop);
    place(Label12, 80, 248, 193, 33);
    ListBox2 = new QListWidget(TabSheet4);
    place(ListBox2, 400, 8, 49, 41);
    ListBox2->setVisible(false);

    TabSheet3 = new QWidget;
    PageControl1->addTab(TabSheet3, QStringLiteral("Copyrights"));
    Memo2 = memo(TabSheet3, legalText);
    place(Memo2, 16, 8, 217, 225);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette memoColours = Memo2->palette();
    memoColours.setColor(QPalette::Text, Qt::black);
    Memo2->setPalette(memoColours);

    // The picture and the Close button stand above the pages, on every page.
    MButton1 = new TMButton(this);
    place(MButton1, 272, 72, 145, 145);
    MButton1->setBitmap(QImage(QStringLiteral(":/about/picture.png")));
    MButton1->setBorder(false);
    MButton1->setStretch(false);
    MButton1->setParentColor(true);
    Button1 = new QPushButton(QStringLiteral("Close"), this);
    place(Button1, 296, 240, 105, 25);
    controls::pressOnEnter(Button1);
    MButton1->raise();
    Button1->raise();

    PageControl1->setCurrentIndex(0);
    setTabOrder(Button1, PageControl1);
    setTabOrder(ListBox1, ListBox2);
    Button1->setFocus();

    const std::pair<QWidget *, const char *> names[] = {{PageControl1, "PageControl1"},
                                                        {TabSheet1, "TabSheet1"},
                                                        {ExeButton1, "ExeButton1"},
                                                        {Label2, "Label2"},
                                                        {Label1, "Label1"},
                                                        {TabSheet2, "TabSheet2"},
                                                        {Memo3, "Memo3"},
                                                        {MButton3, "MButton3"},
                                                        {MButton2, "MButton2"},
                                                        {TabSheet4, "TabSheet4"},
                                                        {Label11, "Label11"},
                                                        {ListBox1, "ListBox1"},
                                                        {Label3, "Label3"},
                                                        {MButton4, "MButton4"},
                                                        {Label12, "Label12"},
                                                        {ListBox2, "ListBox2"},
                                                        {TabSheet3, "TabSheet3"},
                                                        {Memo2, "Memo2"},
                                                        {MButton1, "MButton1"},
                                                        {Button1, "Button1"}};
    for (const auto &[control, name] : names)
        control->setObjectName(QLatin1String(name));
}

void TAboutForm::wireEvents()
{
    using controls::handler;
    connect(ListBox1, &QListWidget::itemSelectionChanged, this,
            handler([this] { ListBox1Click(); }));
    connect(Button1, &QPushButton::clicked, this, handler([this] { Button1Click(); }));
    connect(MButton3, &TMButton::OnClick, this, handler([this] { Button2Click(); }));
    connect(MButton4, &TMButton::OnClick, this, handler([this] { Button2Click(); }));
    connect(MButton2, &TMButton::OnClick, this, handler([this] { MButton2Click(); }));
}

void TAboutForm::showEvent(QShowEvent *event)
{
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
    platform::guarded([this] { FormShow(); });
}

void TAboutForm::FormShow()
{
    if (const auto info = platform::readFixedFileInfo(executablePath)) {
        Label2->setText(QStringLiteral("Version ") + platform::productVersionText(*info));
        Label2->adjustSize();
    }
    Label1->setText(m_helpText);
    ListBox1->clear();
    ListBox2->clear();
    for (const about::SupportLibrary &library : about::supportLibraries())
        AddLibraryRow(library.fileName, library.description);
}

void TAboutForm::AddLibraryRow(const QString &name, const QString &description)
{
    // The version column starts at the same place in every row; a longer name pushes it
    // right rather than being cut.
    const QString prefix =
        name + QString(std::max<qsizetype>(0, libraryNameColumn - name.size()), QLatin1Char(' ')) +
        QStringLiteral(" -   ");
    const QString file = findLibrary ? findLibrary(name) : QString();
    std::optional<platform::FixedFileInfo> info;
    if (!file.isEmpty())
        info = platform::readFixedFileInfo(file);
    insertSorted(
        ListBox1,
        prefix + (info ? platform::productVersionText(*info) : QStringLiteral("Not found")), 15);
    insertSorted(ListBox2, description, 13);
}

void TAboutForm::ListBox1Click()
{
    for (int row = 0; row < ListBox1->count(); ++row) {
        if (ListBox1->item(row)->isSelected()) {
            if (row < ListBox2->count())
                Label3->setText(ListBox2->item(row)->text() + QLatin1Char(' '));
            return;
        }
    }
}

void TAboutForm::Button1Click()
{
    reject();
}

void TAboutForm::Button2Click()
{
    platform::shellOpen(QUrl(websiteAddress()));
    Button1Click();
}

void TAboutForm::MButton2Click()
{
    platform::shellOpen(QUrl(contactAddress()));
    Button1Click();
}
