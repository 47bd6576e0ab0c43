// mkmedium: writes, shows and checks the distribution medium of the setup.
//
//   mkmedium build <manifest> <outdir> [--disk-type N]
//   mkmedium dump <Setup.dat|Setup.inf>
//   mkmedium verify <medium dir>
//
// build writes "Setup.dat", "_Uninst.ex_" and the data volumes "Data.dat"
// into <outdir>, which must not exist or be empty. When the file data need
// more than one volume, volume i goes into <outdir>\disk<i+1>, and
// "Setup.dat" and "_Uninst.ex_" go into disk1 beside the first volume.
// Everything is checked before anything is written, and the medium is
// written into a temporary folder beside <outdir> that is moved into place
// when complete: a failure writes nothing. --disk-type overrides DiskType.
//
// The manifest is an INI file with two sections:
//
//   [Setup]
//   Name=Tilewright              product name (Uninstall key, backdrop title)
//   Title=Welcome to Tilewright  title of the read-me page (may be empty)
//   ReadMe=readme.txt            read-me text (optional; no zero bytes)
//   DestDir=\Tilewright          proposed destination, without drive letter
//   ProgramFolder=Tilewright     proposed program folder
//   Ident=00000000 544C5754 00000000 00000000
//                                the 16-byte identification block as 32 hex
//                                digits in file order (spaces ignored); bytes
//                                4 to 7 are the product signature, a
//                                little-endian dword, compared on reinstall
//   OtherBytes=0                 further bytes shown and counted in progress
//   ReserveBytes=0               free space demanded beyond the files
//   DiskType=0                   0: 1199998 bytes of file data per volume,
//                                1: 1439998; another type (up to 255) holds
//                                everything in one volume
//   Uninstaller=uninst.exe       the uninstaller, copied as "_Uninst.ex_"
//
//   [Files]
//   Applikation\Mapsmith.exe=bin\Mapsmith.exe | FILE_PROGRAM_ITEM
//   Applikation\VB\Joust\Form1.frm=samples\Joust\Form1.frm
//   WinSys\tilew32.ocx=bin\tilew32.ocx | FILE_REGISTER | FILE_SHARED
//   Applikation\Empty\=
//
// Each [Files] key is a file's place in the tree: the top-level directory
// "Applikation" (the destination) or "WinSys" (the system directory), the
// subdirectories and the file name. The value is the source file and, after
// "|", any of FILE_REGISTER, FILE_REGISTER_ABSENT, FILE_PROGRAM_ITEM and
// FILE_SHARED. A key ending in a backslash with no value adds a directory,
// empty or not. Both top-level directories must appear. Relative source
// paths are taken against the manifest's folder. Directories keep the
// order in which they first appear and files the order of their lines; the
// data stream follows the tree's walk (subdirectories before files). Sizes
// and version records come from the source files.
//
// dump writes the install information as JSON on standard output; verify
// prints one line per fault and a summary. The exit code is 0 on success,
// 1 on a failure or fault, 2 for a wrong command line.
#include "MediumFormat.h"
#include "Manifest.h"
#include "MediumBuilder.h"
#include "MediumDump.h"
#include "MediumVerifier.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>

namespace {
const int EXIT_FAULT = 1;
const int EXIT_USAGE = 2;

int Usage()
{
    fputs("usage: mkmedium build <manifest> <outdir> [--disk-type N]\n"
          "       mkmedium dump <Setup.dat|Setup.inf>\n"
          "       mkmedium verify <medium dir>\n",
          stderr);
    return EXIT_USAGE;
}

bool ParseDiskType(const char* psz, int& nDiskType)
{
    char* pEnd = nullptr;
    long n = strtol(psz, &pEnd, 10);
    if (!*psz || *pEnd || n < 0 || n > 255)
        return false;
    nDiskType = static_cast<int>(n);
    return true;
}

int Build(int argc, char** argv)
{
    const char* pszManifest = nullptr;
    const char* pszOutDir = nullptr;
    int nDiskType = -1;
    for (int i = 2; i < argc; ++i) {
        if (strcmp(argv[i], "--disk-type") == 0) {
            if (i + 1 >= argc || !ParseDiskType(argv[i + 1], nDiskType)) {
                fputs("mkmedium: --disk-type takes a number from 0 to 255\n", stderr);
                return EXIT_USAGE;
            }
            ++i;
        } else if (!pszManifest) {
            pszManifest = argv[i];
        } else if (!pszOutDir) {
            pszOutDir = argv[i];
        } else {
            return Usage();
        }
    }
    if (!pszOutDir)
        return Usage();

    CManifest manifest;
    if (!manifest.Load(pszManifest, nDiskType)) {
        fprintf(stderr, "mkmedium: %s\n", static_cast<const char*>(manifest.GetError()));
        return EXIT_FAULT;
    }
    CMediumBuilder builder(manifest);
    if (!builder.Build(pszOutDir)) {
        fprintf(stderr, "mkmedium: %s\n", static_cast<const char*>(builder.GetError()));
        return EXIT_FAULT;
    }
    printf("%s: %lu file(s), %llu bytes in %lu volume(s) of disk type %lu\n", pszOutDir,
           static_cast<DWORD>(manifest.m_files.size()), manifest.m_ullDataBytes, builder.GetVolumeCount(),
           manifest.m_info.m_nDiskType);
    return 0;
}

int Dump(int argc, char** argv)
{
    if (argc != 3)
        return Usage();
    CInstallMngr info;
    CString error;
    if (!LoadInfoFile(argv[2], info, error)) {
        fprintf(stderr, "mkmedium: %s\n", static_cast<const char*>(error));
        return EXIT_FAULT;
    }
    std::string json = InstallInfoToJson(info);
    if (_setmode(_fileno(stdout), _O_BINARY) == -1 || fwrite(json.data(), 1, json.size(), stdout) != json.size() ||
        fflush(stdout) != 0) {
        fputs("mkmedium: cannot write the standard output\n", stderr);
        return EXIT_FAULT;
    }
    return 0;
}

int Verify(int argc, char** argv)
{
    if (argc != 3)
        return Usage();
    CMediumVerifier verifier;
    BOOL bSound = verifier.Verify(argv[2]);
    for (const std::string& fault : verifier.GetFaults())
        printf("%s\n", fault.c_str());
    if (!verifier.GetSummary().empty())
        printf("%s\n", verifier.GetSummary().c_str());
    return bSound ? 0 : EXIT_FAULT;
}
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    if (strcmp(argv[1], "build") == 0)
        return Build(argc, argv);
    if (strcmp(argv[1], "dump") == 0)
        return Dump(argc, argv);
    if (strcmp(argv[1], "verify") == 0)
        return Verify(argc, argv);
    return Usage();
}
