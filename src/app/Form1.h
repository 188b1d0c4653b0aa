// The main window: folder and file lists, the two adjustments, three previews and the buttons
// that make texture sets and single season textures.
#pragma once

#include "season/Season.h"
#include "season/WorkingFiles.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QMessageBox;
class QPushButton;
class TAboutForm;
class TDirectoryListBox;
class TDriveComboBox;
class TFileListBox;
class TImage;
class TNumEdit;
class TUpDown;

namespace settings {
class StoredSettings;
}

// Where the window keeps its files and finds its settings; tests point these at temporary
// folders.
struct FormEnvironment
{
    QString programFolder;      // the working files; ends in "/"
    QString destinationDefault; // texture sets when none is stored; empty: the program folder
    QString settingsFile;       // the per-user settings store
    QString winePrefix;         // where FS2004 is looked for
    std::function<void()> beep; // signals a missing FS2004 installation
    // Polled before each texture of a set: true stops the set there (a stop signal).
    std::function<bool()> stopRequested;
};

// The save-file dialog of the single save: its settings, and the call that shows it.
struct SaveDialog
{
    QString filter = QStringLiteral("Windows Bitmap|*.bmp");
    QString defaultExt = QStringLiteral("bmp");
    QString initialDir;
    QString fileName;
    // Shows the dialog; returns false when the user cancels. On success fileName holds the
    // chosen path. Tests replace it.
    std::function<bool(SaveDialog &)> execute;
};

// The toolkit's save dialog, with the window's own question before an existing file is
// replaced.
bool executeFileDialog(SaveDialog &dialog);

// The question asked before an existing file is replaced: its name as written, "No" first.
std::unique_ptr<QMessageBox> makeOverwriteQuestion(const QString &path, const QString &title,
                                                   QWidget *parent = nullptr);

class TForm1 : public QWidget
{
    Q_OBJECT

  public:
    // Builds the window and runs its construction step; throws platform::Error when the
    // settings cannot be read (the program then ends).
    explicit TForm1(const FormEnvironment &environment, QWidget *parent = nullptr);
    ~TForm1() override;

    // Handlers, named after their control and event.
    void FileListBox1Change();
    void ViewClick();
    void Button2Click(); // winter pass
    void Button6Click(); // fall pass
    void Button3Click(); // winter texture set
    void Button5Click(); // fall texture set
    void Image2DblClick(QObject *Sender);
    void DirectoryListBox2Change();
    void aboutClick();
    void FormClose();

    // Opens what the command line names: a folder becomes the source folder; a summer
    // texture's folder becomes the source folder and the texture is selected and previewed.
    // Throws platform::Error naming the path when it is neither.
    void openPath(const QString &path);

    QString destinationFolder() const { return m_destinationFolder; }
    const season::WorkingFiles &workingFiles() const { return m_work; }

    // Shows the About dialog modally; tests replace it.
    std::function<void(TAboutForm &)> showAboutModal;

    // Controls, named as in the layout.
    TImage *Image1 = nullptr;
    TImage *Image2 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    TImage *Image3 = nullptr;
    TNumEdit *NumEdit1 = nullptr;
    TUpDown *UpDown1 = nullptr;
    QPushButton *Button3 = nullptr;
    QPushButton *Button5 = nullptr;
    TNumEdit *NumEdit2 = nullptr;
    TUpDown *UpDown2 = nullptr;
    TDriveComboBox *DriveComboBox1 = nullptr;
    TDirectoryListBox *DirectoryListBox1 = nullptr;
    TFileListBox *FileListBox1 = nullptr;
    QPushButton *View = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    TDriveComboBox *DriveComboBox2 = nullptr;
    TDirectoryListBox *DirectoryListBox2 = nullptr;
    QCheckBox *CreateSU = nullptr;
    QCheckBox *HideAll = nullptr;
    QPushButton *about = nullptr;
    SaveDialog save;

    TAboutForm *AboutForm = nullptr;

  protected:
    void closeEvent(QCloseEvent *event) override;

  private:
    void createControls();
    void addToolTips();
    void wireEvents();
    void constructionStep(const FormEnvironment &environment);
    void makeTextureSet(season::Season season);
    void clearPreviews();
    TImage *seasonImage(season::Season season) const;

    QString m_programFolder;
    QString m_destinationFolder;
    season::WorkingFiles m_work;
    std::unique_ptr<settings::StoredSettings> m_store;
    std::function<bool()> m_stopRequested;
};
