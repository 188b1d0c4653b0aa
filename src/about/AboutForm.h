// The About dialog: help text, program version, the maker's support libraries with their
// versions and descriptions, and buttons that open the maker's website or a new mail.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TExeButton;
class TMButton;

class TAboutForm : public QDialog
{
    Q_OBJECT

  public:
    explicit TAboutForm(QWidget *parent = nullptr);
    ~TAboutForm() override;

    // The text shown in Label1 at the next showing.
    void setHelpText(const QString &text) { m_helpText = text; }
    const QString &helpText() const { return m_helpText; }

    // The file whose version Label2 reports: the running program unless a test says otherwise.
    QString executablePath;
    // Resolves a bare library name to a file (empty: not found). By default the program
    // folder, LD_LIBRARY_PATH, the system library folders and PATH are searched.
    std::function<QString(const QString &bareName)> findLibrary;

    // The maker's addresses the website and contact buttons open.
    static QString websiteAddress();
    static QString contactAddress();

    // Handlers, named after their control and event.
    void FormShow();
    void AddLibraryRow(const QString &name, const QString &description);
    void ListBox1Click();
    void Button1Click();
    void Button2Click();
    void MButton2Click();

    // Controls, named as in the layout.
    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr;
    TExeButton *ExeButton1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;
    QWidget *TabSheet2 = nullptr;
    QPlainTextEdit *Memo3 = nullptr;
    TMButton *MButton3 = nullptr;
    TMButton *MButton2 = nullptr;
    QWidget *TabSheet4 = nullptr;
    QLabel *Label11 = nullptr;
    QListWidget *ListBox1 = nullptr;
    QLabel *Label3 = nullptr;
    TMButton *MButton4 = nullptr;
    QLabel *Label12 = nullptr;
    QListWidget *ListBox2 = nullptr;
    QWidget *TabSheet3 = nullptr;
    QPlainTextEdit *Memo2 = nullptr;
    TMButton *MButton1 = nullptr;
    QPushButton *Button1 = nullptr;

  protected:
    void showEvent(QShowEvent *event) override;

  private:
    void createControls();
    void wireEvents();

    QString m_helpText;
};
