// Tessavane: seasonal variants of FS2004 photo-real ground textures.
#include "app/Application.h"
#include "app/Startup.h"
#include "platform/ErrorSink.h"

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    platform::setErrorHandler([&app](const std::exception &error) { app.showError(error); });
    return runTessavane(defaultEnvironment());
}
