// Entry point of tessavane-batch.
#include "batch/BatchCommand.h"
#include "batch/StopRequest.h"

#include <QCoreApplication>

#include <cstdio>

#include <malloc.h>

int main(int argc, char **argv)
{
    // Every tile allocates the same large buffers again; keeping freed memory in the heap
    // instead of returning it to the system spares each tile fresh pages and their faults.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    int status = 0;
    {
        QCoreApplication app(argc, argv);
        QStringList arguments = QCoreApplication::arguments();
        arguments.removeFirst();
        status = batch::runBatchCommand(arguments, stdout, stderr);
    }
    batch::endByStopSignal();
    return status;
}
