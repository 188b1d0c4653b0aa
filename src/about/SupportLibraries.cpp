// The support-library table: file names and descriptions, fixed for the program's life.
#include "about/SupportLibraries.h"

namespace about {

namespace {

SupportLibrary library(const char *fileName, const char *text)
{
    const QString name = QString::fromLatin1(fileName);
    return {name, name + QStringLiteral("\n\n") + QString::fromLatin1(text)};
}

} // namespace

const std::array<SupportLibrary, 10> &supportLibraries()
{
    static const std::array<SupportLibrary, 10> table = {
        library("kovar.dll", "Main graphics conversion and processing module. Some functions "
                             "utilise other dlls."),
        library("kovar24.dll",
                "Visual Dialogs and functions module.\nUsed by some kovar.dll functions"),
        library("ktdds.dll", "DDS and DXT processing module.\nUsed by some kovar.dll functions"),
        library("ktace.dll", "Train Simulator ACE image reading module"),
        library("kovarvb.dll",
                "Visual Basic interface to kovar.dll\nRequired by VB programs using the dll"),
        library("ktacevb.dll",
                "Visual Basic interface to ktace.dll\nRequired by VB programs using the dll"),
        library("ktddsvb.dll",
                "Visual Basic interface to ktdds.dll\nRequired by VB programs using the dll"),
        library("kttwack.dll", "Twain interface module.\nUsed by some kovar.dll functions"),
        library("ktpng.dll",
                "Obsolete. No longer required\nFunctions now incorporated in kovar.dll"),
        library("kttiff.dll",
                "Obsolete. No longer required\nFunctions now incorporated in kovar.dll"),
    };
    return table;
}

} // namespace about
