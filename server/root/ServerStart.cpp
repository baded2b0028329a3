#include "ServerStart.h"

#include <cstdlib>
#include <cstring>

#include "AppStatus.h"
#include "ServerIds.h"
#include "SpControl.h"
#include "SvrSystem.h"
#include "SysDir.h"
#include "SysHelpers.h"
#include "TaskAbend.h"
#include "Timer.h"
#include "TcpControl.h"
#include "WinSockControl.h"
#include "TextHelpers.h"

namespace {

const char LOG_TITLE_SUFFIX[] = "Version 1.11.087 System";

// A candidate wins when it becomes the current directory and the main INI opens there.
BBOOL TryConfigDirectory(const char* directory) {
    if (!directory || !directory[0] || !SYSDIR::SetPath(directory)) return FALSE;
    HANDLE file = CreateFileA(ServerText(IDS_MAIN_INI), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    CloseHandle(file);
    return TRUE;
}

void LogInvalidKey(SVRSYSTEM& svr) {
    if (!svr.systemLog.IsOpen()) svr.systemLog.Open(FALSE);
    if (svr.config.invalidKey) svr.systemLog.Write(ServerText(IDS_INVALID_VALUE), svr.config.invalidKey);
}

[[noreturn]] void UnreadableProfile(SVRSYSTEM& svr) {
    svr.systemLog.Open(FALSE);
    svr.systemLog.Write("Unable to read .INI file");
    _Task_Abend(ABEND_INI100, 0);
}

}  // namespace

void ReadEditionFlags(BBOOL& corvath, BBOOL& tessimara) {
    const char* edition = ServerText(IDS_EDITION);
    corvath = std::strcmp(edition, "CORVATH") == 0;
    tessimara = std::strcmp(edition, "TESSIMARA") == 0;
}

void ProgramDirectoryOf(const char* moduleName, char* out, int size) {
    char work[257];
    _strzcpy(work, moduleName ? moduleName : "", sizeof work);
    char* slash = std::strrchr(work, '\\');
    if (!slash) {
        char drive[4] = {};
        SYSDIR::GetDrive(BUFFER(drive, sizeof drive));
        SYSDIR::GetPath(drive, BUFFER(out, size), TRUE);
        return;
    }
    slash[1] = 0;
    size_t n = std::strlen(work);
    if (!(n >= 2 && work[n - 2] == ':')) work[n - 1] = 0;
    _strzcpy(out, work, size);
}

int findSysConfigDirectory(BUFFER& out, const char* programDirectory) {
    if (out.data && out.length > 0) out.data[0] = 0;
    char candidate[MAX_PATH] = {};
    const char* environment = std::getenv("QUORVANE");
    char drive[4] = {};
    SYSDIR::GetDrive(BUFFER(drive, sizeof drive));
    char onDrive[32] = {};
    if (drive[0]) _strzcpy(onDrive, (std::string(drive) + ":\\QUORVANE\\CONFIG").c_str(), sizeof onDrive);
    const char* candidates[3] = {programDirectory, environment, onDrive};
    for (const char* c : candidates) {
        if (!TryConfigDirectory(c)) continue;
        if (!GetCurrentDirectoryA(sizeof candidate, candidate)) _strzcpy(candidate, c, sizeof candidate);
        _strzcpy(out.data, candidate, out.length);
        return 0;
    }
    return -1;
}

BBOOL IsSetupCommandLine(const char* commandLine) {
    char word[257] = {};
    char* cursor = const_cast<char*>(commandLine ? commandLine : "");
    if (_ScanWord(&cursor, word, sizeof word) < 0) return FALSE;
    return std::strcmp(word, "INSTALLSETUP") == 0;
}

void ApplyLinkSwitches(const SVRCFG& config) {
    TCPCONTROL::UseAsyncDNS = config.asyncDNS;
    TCPCONTROL::UseLocalLoop = config.localLoop;
    TCPCONTROL::DynamicRouting = config.dynamicRouting;
    TCPCONTROL::PhonebookRouting = config.phonebookRouting;
    TCPCONTROL::MultipleRouting = config.multipleRoutes;
    WINSOCKCONTROL::WinSockLimitDialing = config.dialingLimit;
}

SERVERSTART ServerStartUp(HINSTANCE instance, const char* commandLine) {
    if (_pSupport) _pSupport->module.instance = instance;
    BBOOL corvath = FALSE, tessimara = FALSE;
    ReadEditionFlags(corvath, tessimara);
    SVRSYSTEM* svr = new SVRSYSTEM(corvath, tessimara);
    if (!svr) _Task_Abend(ABEND_STG101, 0);
    svr->prepare();
    _pSvr = svr;
    APPSTATUS::pdefaultConnNotify = &SVRSYSTEM::ConnectionMonitor;

    char module[257] = {};
    GetModuleFileNameA(instance, module, 256);
    char programDirectory[MAX_PATH] = {};
    ProgramDirectoryOf(module, programDirectory, sizeof programDirectory);
    BUFFER directory(svr->configDirectory, sizeof svr->configDirectory);
    if (findSysConfigDirectory(directory, programDirectory) != 0) _Task_Abend(ABEND_INI100, 0);
    if (_pSupport) _strzcpy(_pSupport->systemDirectory, svr->configDirectory, sizeof _pSupport->systemDirectory);

    svr->setupMode = IsSetupCommandLine(commandLine);
    svr->systemLog.SetTitle(ServerText(IDS_TITLE), LOG_TITLE_SUFFIX);

    SVRCFG& config = svr->config;
    if (!config.OpenProfile(svr->mainProfile, ServerText(IDS_MAIN_INI))) UnreadableProfile(*svr);
    if (!config.ReadProfile()) {
        LogInvalidKey(*svr);
        const char* key = config.invalidKey ? config.invalidKey : "";
        MessageBoxA(nullptr, key, ServerText(IDS_INVALID_VALUE), MB_OK | MB_ICONEXCLAMATION);
        return SERVER_BAD_VALUE;
    }
    if (config.usersFile[0] && !config.OpenUsers(svr->usersProfile, config.usersFile)) UnreadableProfile(*svr);
    if (!config.ReadUsers()) {
        LogInvalidKey(*svr);
        _Task_Abend(ABEND_INI100, 0);
    }
    ApplyLinkSwitches(config);

    svr->logProfile.ReadFile("LOG.INI", FALSE);
    svr->systemLog.EnableBackup(&svr->logProfile, config.backupFiles);
    svr->systemLog.Open(FALSE);
    if (_pSupport) _pSupport->timers.AddTimer(TC_MIDNIGHT, &SVRSYSTEM::TimerSystemLog, nullptr, TC_MIDNIGHT);
    return SERVER_STARTED;
}

void ServerShutDown() {
    SVRSYSTEM* svr = _pSvr;
    if (!svr) return;
    if (!svr->closing) {
        svr->closing = TRUE;
        MainSystemTermProc(0);
    }
    svr->config.CloseProfile();
    svr->config.CloseUsers();
    svr->systemLog.Close();
}

// The midnight timer of the system log goes with the root it reopens.
void RemoveSystemLogTimer() {
    if (!_pSupport) return;
    TIMERCONTROL& timers = _pSupport->timers;
    for (;;) {
        CITERATOR<TIMER> walk;
        TIMER* found = nullptr;
        for (TIMER* t = walk.Begin(timers.timers); t && !found; t = walk.Next())
            if (t->procedure == &SVRSYSTEM::TimerSystemLog) found = t;
        walk.End();
        if (!found) return;
        timers.RemoveTimer(*found);
        if (found->autoRelease) found->freeobj();
    }
}

void ServerRelease() {
    SVRSYSTEM* svr = _pSvr;
    if (!svr) return;
    RemoveSystemLogTimer();
    _pSvr = nullptr;
    svr->freeobj();
}
