// Entry point of tessavane-batch.
#include "batch/BatchCommand.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return batch::runBatchCommand(arguments, stdout, stderr);
}
