// The flat-thunk stand-in joined to the PWSK16 stand-in without psock32: the
// connection's checks, the two bridges' refusal of calls of the wrong shape,
// a translated call with its flagged pointers, and the loud end of a pointer
// that was never mapped or a frame left through the wrong exit.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "TestAids.h"
#include "ArgImage.h"
#include "ByteOrder.h"
#include "ChildProcess.h"
#include "ThunkBridge.h"

namespace {

const unsigned long FlatThunkFault = 0xE0465448;

struct Services {
    HMODULE module = nullptr;
    decltype(&::ThunkConnect32) connect;
    decltype(&::MapSL) mapSL;
    decltype(&::FT_Thunk) thunk;
    decltype(&::FT_Exit8) exit8;
    decltype(&::FT_Exit12) exit12;

    template <typename F>
    void Bind(F& fn, const char* name) {
        fn = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
    Services() {
        std::string path = qvaid::BuildPath("standins\\thunk\\flatthk.dll");
        SetDllDirectoryA(path.substr(0, path.size() - strlen("flatthk.dll")).c_str());
        module = LoadLibraryA(path.c_str());
        if (!module) return;
        Bind(connect, "ThunkConnect32");
        Bind(mapSL, "MapSL");
        Bind(thunk, "FT_Thunk");
        Bind(exit8, "FT_Exit8");
        Bind(exit12, "FT_Exit12");
    }
    ~Services() {
        if (module) FreeLibrary(module);
        SetDllDirectoryA(nullptr);
    }
};

thunk::ThunkData32 Record(uint32_t check = thunk::ThunkCheck) {
    thunk::ThunkData32 data = {{'L', 'S', '0', '1'}, check, {'L', 'B', '0', '1'}, nullptr, nullptr, nullptr};
    return data;
}

BOOL Connect(Services& s, thunk::ThunkData32& data, DWORD reason = DLL_PROCESS_ATTACH) {
    return s.connect(&data, (LPSTR) "thk_ThunkData16", (LPSTR) "PWSK16.DLL", (LPSTR) "PSOCK32.DLL",
                     GetModuleHandleA(nullptr), reason);
}

TEST(FlatThunk, TheConnectionJoinsOnlyRecordsMadeForEachOther) {
    Services s;
    ASSERT_TRUE(s.module && s.connect);
    struct Case {
        const char* what;
        thunk::ThunkData32 data;
    } refused[] = {
        {"another check value", Record(thunk::ThunkCheck + 1)},
        {"no LS01 signature", Record()},
        {"no LB01 signature", Record()},
    };
    refused[1].data.signature[0] = 'X';
    refused[2].data.bridgeSignature[1] = 'X';
    for (Case& c : refused) {
        EXPECT_FALSE(Connect(s, c.data)) << c.what;
        EXPECT_EQ(nullptr, c.data.simple) << c.what;
        EXPECT_EQ(nullptr, GetModuleHandleA("PWSK16.DLL")) << c.what << ": the stack is let go again";
    }
    thunk::ThunkData32 data = Record();
    ASSERT_TRUE(Connect(s, data));
    EXPECT_TRUE(data.simple && data.translating && data.stack);
    EXPECT_TRUE(Connect(s, data, DLL_THREAD_ATTACH));
    EXPECT_TRUE(Connect(s, data, DLL_PROCESS_DETACH));
    EXPECT_EQ(nullptr, data.simple);
    EXPECT_EQ(nullptr, GetModuleHandleA("PWSK16.DLL"));
}

TEST(FlatThunk, BridgesRefuseCallsOfTheWrongShape) {
    Services s;
    thunk::ThunkData32 data = Record();
    ASSERT_TRUE(Connect(s, data));
    uint8_t image[8];
    thunk::ArgImage(image, sizeof image).W16(0x1234);
    EXPECT_EQ(0x3412u, data.simple(thunk::Htons, image, 2) & 0xFFFF);
    struct Case {
        const char* what;
        thunk::Bridge bridge;
        uint32_t entryOrCode;
        uint32_t size;
    } cases[] = {
        {"an image of the wrong size", data.simple, thunk::Htons, 4},
        {"an entry past the table", data.simple, thunk::EntryCount, 0},
        {"a translated entry through the simple bridge", data.simple, thunk::Select, 18},
        {"a simple entry through the translating bridge", data.translating, thunk::Htons | (4 << 8), 2},
        {"a translating code with the wrong byte count", data.translating, thunk::Accept | (8 << 8), 10},
    };
    for (const Case& c : cases) EXPECT_EQ(0xFFFFFFFFu, c.bridge(c.entryOrCode, image, c.size)) << c.what;
    Connect(s, data, DLL_PROCESS_DETACH);
}

// The stack finds a socket number in a 16-bit set FT_Thunk mapped for it.
TEST(FlatThunk, ATranslatedCallMapsItsFlaggedPointersForTheCall) {
    Services s;
    thunk::ThunkData32 data = Record();
    ASSERT_TRUE(Connect(s, data));
    uint8_t set16[130] = {};
    PutLe16(set16, 2);
    PutLe16(set16 + 2, 9);
    PutLe16(set16 + 4, 5);
    for (uint16_t fd : {5, 7}) {
        thunk::ThunkFrame frame = {};
        frame.code = thunk::TranslatingCode(thunk::FdIsSet);
        frame.target = data.translating;
        thunk::ArgImage image(frame.image, sizeof frame.image);
        image.W16(fd);
        frame.flaggedAt[0] = (uint8_t)image.Size();
        frame.flaggedPointer[0] = set16;
        frame.flagged = 1;
        image.D32(0);
        frame.size = image.Size();
        s.thunk(&frame);
        EXPECT_EQ(fd == 5 ? 1u : 0u, s.exit8(&frame) & 0xFFFF) << fd;
    }
    Connect(s, data, DLL_PROCESS_DETACH);
}

QV_CHILD_CASE(FlatAddressUsedAsSegmented) {
    Services s;
    static int x;
    s.mapSL((thunk::SegPtr)(uintptr_t)&x);
    printf("MapSL let it pass\n");
}

QV_CHILD_CASE(FrameLeftThroughTheWrongExit) {
    Services s;
    thunk::ThunkData32 data = Record();
    Connect(s, data);
    thunk::ThunkFrame frame = {};
    frame.code = thunk::TranslatingCode(thunk::FdIsSet);  // an 8-byte export
    frame.target = data.translating;
    frame.size = 6;
    s.thunk(&frame);
    s.exit12(&frame);
    printf("FT_Exit12 let it pass\n");
}

TEST(FlatThunk, AnUnmappedPointerOrTheWrongExitStopsTheProcess) {
    for (const char* child : {"FlatAddressUsedAsSegmented", "FrameLeftThroughTheWrongExit"}) {
        qvtest::ChildResult r = qvtest::RunChild(child);
        ASSERT_TRUE(r.started) << child;
        EXPECT_EQ(FlatThunkFault, r.exitCode) << child << "\n" << r.output;
        EXPECT_EQ(std::string::npos, r.output.find("let it pass")) << child;
    }
}

}  // namespace
