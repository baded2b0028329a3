#pragma once
// A PostScript printer for the printing tests, made without CUPS: Wine's
// PostScript driver with a small PPD of our own, "Quorvane Test Printer" on
// LPT1: as the default printer, and LPT1: sent to a scratch file of the Unix
// side, where each job comes out as PostScript.
#include "QvWindows.h"

#include <winspool.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace printkit {

const char kPrinter[] = "Quorvane Test Printer";
const char kDriver[] = "Wine PostScript Driver";

inline const char* Ppd() {
    return "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
           "*LanguageEncoding: ISOLatin1\n*PCFileName: \"QVTEST.PPD\"\n*Manufacturer: \"Quorvane\"\n"
           "*Product: \"(Quorvane Test Printer)\"\n*ModelName: \"Quorvane Test Printer\"\n"
           "*ShortNickName: \"Quorvane Test Printer\"\n*NickName: \"Quorvane Test Printer\"\n"
           "*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n*ColorDevice: False\n*DefaultColorSpace: Gray\n"
           "*FileSystem: False\n*TTRasterizer: Type42\n*OpenUI *PageSize/Page Size: PickOne\n"
           "*DefaultPageSize: Letter\n*PageSize Letter/Letter: \"<</PageSize[612 792]/ImagingBBox null>>setpagedevice\"\n"
           "*CloseUI: *PageSize\n*DefaultImageableArea: Letter\n*ImageableArea Letter/Letter: \"18 36 594 756\"\n"
           "*DefaultPaperDimension: Letter\n*PaperDimension Letter/Letter: \"612 792\"\n*DefaultResolution: 300dpi\n";
}

// The Windows view of a Unix path.
inline std::string WinPath(const std::string& unix) {
    std::string w = "Z:" + unix;
    for (char& c : w)
        if (c == '/') c = '\\';
    return w;
}

// Installs the printer once per prefix and points LPT1: at unixOutput.
inline bool InstallTestPrinter(const std::string& unixOutput) {
    HKEY k;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Printing\\Spooler", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &k, nullptr) != ERROR_SUCCESS)
        return false;
    RegSetValueExA(k, "LPT1:", 0, REG_SZ, reinterpret_cast<const BYTE*>(unixOutput.c_str()),
                   DWORD(unixOutput.size() + 1));
    RegCloseKey(k);
    HANDLE h = nullptr;
    if (OpenPrinterA(const_cast<char*>(kPrinter), &h, nullptr)) {
        ClosePrinter(h);
        return SetDefaultPrinterA(kPrinter);
    }
    char dir[MAX_PATH];
    DWORD need = 0;
    if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(dir), sizeof dir, &need)) return false;
    std::ofstream(std::string(dir) + "\\qvtest.ppd", std::ios::binary) << Ppd();
    DRIVER_INFO_3A di = {};
    di.cVersion = 3;
    di.pName = const_cast<char*>(kDriver);
    di.pDriverPath = const_cast<char*>("wineps.drv");
    di.pDataFile = const_cast<char*>("qvtest.ppd");
    di.pConfigFile = const_cast<char*>("wineps.drv");
    AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&di));
    PRINTER_INFO_2A pi = {};
    pi.pPrinterName = const_cast<char*>(kPrinter);
    pi.pPortName = const_cast<char*>("LPT1:");
    pi.pDriverName = const_cast<char*>(kDriver);
    pi.pPrintProcessor = const_cast<char*>("WinPrint");
    pi.pDatatype = const_cast<char*>("RAW");
    h = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&pi));
    if (!h) return false;
    ClosePrinter(h);
    return SetDefaultPrinterA(kPrinter);
}

inline std::string ReadFile(const std::string& winPath) {
    std::ifstream in(winPath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace printkit
