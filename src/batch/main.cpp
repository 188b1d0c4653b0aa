// Entry point of tessavane-batch.
#include "batch/BatchCommand.h"
#include "platform/StopRequest.h"
#include "platform/FileNames.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstring>
#include <memory>
#include <strings.h>

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
        // The preview draws its labels, which takes the GUI module's fonts; it needs no display.
        const bool preview = argc > 1 && strcasecmp(argv[1], "preview") == 0;
        if (preview && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        std::unique_ptr<QCoreApplication> app(preview ? new QGuiApplication(argc, argv)
                                                      : new QCoreApplication(argc, argv));
        // From argv itself (which the application has cleared of the toolkit's own options),
        // decoded so that a folder or tile whose name is not UTF-8 keeps its bytes.
        QStringList arguments;
        for (int i = 1; i < argc; ++i)
            arguments.push_back(platform::decodeFileName(QByteArrayView(argv[i])));
        status = batch::runBatchCommand(arguments, stdout, stderr);
    }
    platform::endByStopSignal();
    return status;
}
