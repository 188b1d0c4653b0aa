#include "app/Application.h"

#include "platform/AppTitle.h"
#include "platform/ErrorSink.h"

#include <QMessageBox>

TApplication::TApplication(int &argc, char **argv)
    : QApplication(argc, argv), m_title(platform::applicationTitle(applicationFilePath()))
{}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        platform::reportError(error);
    }
    return false;
}

void TApplication::showError(const std::exception &error) const
{
    makeErrorBox(m_title, error, activeWindow())->exec();
}

std::unique_ptr<QMessageBox>
TApplication::makeErrorBox(const QString &title, const std::exception &error, QWidget *parent)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, title,
                                             QString::fromUtf8(error.what()) + QLatin1Char('.'),
                                             QMessageBox::Ok, parent);
    // Messages name files and folders, whose names may look like markup.
    box->setTextFormat(Qt::PlainText);
    return box;
}
