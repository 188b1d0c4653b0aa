// The application object: shows every failure that escapes an event in one message box.
#pragma once

#include <QApplication>

#include <exception>
#include <memory>

class QMessageBox;

class TApplication : public QApplication
{
    Q_OBJECT

  public:
    TApplication(int &argc, char **argv);

    // The application's title: the executable's name up to its first full stop, every
    // character after the first in lower case.
    QString title() const { return m_title; }

    // Delivers events; an exception that escapes a handler is reported instead of ending the
    // program, and the program goes on with the next event.
    bool notify(QObject *receiver, QEvent *event) override;

    // Shows the failure in a message box with a stop icon and an OK button: the message
    // followed by ".", the application's title as caption.
    void showError(const std::exception &error) const;

    // The message box showError() shows; built apart so tests can look at it.
    static std::unique_ptr<QMessageBox>
    makeErrorBox(const QString &title, const std::exception &error, QWidget *parent = nullptr);

  private:
    QString m_title;
};
