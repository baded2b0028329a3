#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "ChildProcess.h"
#include "DlgKit.h"
#include "ExchangeKit.h"
#include "ZKCString.h"
#include "zClipboard.h"

namespace {

const unsigned char kFive[5] = {'Q', 0, 'v', 0xFF, '!'};

// A named event shared with a peer copy of this program; the peer finds the
// tag in its environment, which it inherits.
HANDLE PeerEvent(const char* what) {
    char tag[32];
    if (!GetEnvironmentVariableA("QV_CLIP_TAG", tag, sizeof tag)) {
        std::snprintf(tag, sizeof tag, "%lu", GetCurrentProcessId());
        SetEnvironmentVariableA("QV_CLIP_TAG", tag);
    }
    std::string name = std::string("QvClip-") + tag + "-" + what;
    return CreateEventA(nullptr, TRUE, FALSE, name.c_str());
}

std::string ReadText(zClipboard& clip) {
    std::unique_ptr<char[]> text(clip.getText());
    return text ? text.get() : "(none)";
}

std::string ReadProbe(zClipboard& clip) {
    unsigned long size = 0;
    std::unique_ptr<unsigned char[]> bytes(clip.getUserData(size, zExchangeFmt("Quorvane Probe")));
    if (!bytes) return "(none)";
    bool same = size == sizeof kFive && std::memcmp(bytes.get(), kFive, size) == 0;
    return std::to_string(size) + (same ? " same" : " different");
}

}  // namespace

TEST(ExchangeFormat, KindsAndComparisons) {
    struct Case {
        unsigned number;
        zExchangeType kind;
    } cases[] = {{1, zExchangeText}, {5, zExchangeDif}, {9, zExchangePalette}, {10, zExchangeUser},
                 {0xC123, zExchangeUser}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.number);
        zExchangeFmt f(k.number);
        EXPECT_EQ(k.kind, f.kind());
        EXPECT_EQ(k.number, f.id());
    }
    zExchangeFmt probe("Quorvane Probe");
    EXPECT_EQ(zExchangeUser, probe.kind());
    EXPECT_GE(probe.id(), 0xC000u);
    EXPECT_TRUE(probe == zExchangeFmt(ZKCString("Quorvane Probe")));
    EXPECT_TRUE(probe == "Quorvane Probe");
    EXPECT_TRUE(probe == ZKCString("Quorvane Probe"));
    EXPECT_FALSE(probe == "Quorvane Prob");
    EXPECT_FALSE(probe == zExchangeText);
    zExchangeFmt text(zExchangeText);
    EXPECT_TRUE(text == zExchangeText);
    EXPECT_TRUE(text == zExchangeFmt(1u));
    // A predefined format never equals a name, not even its own.
    EXPECT_FALSE(text == "Text");
    EXPECT_FALSE(text == "CF_TEXT");
    EXPECT_FALSE(zExchangeFmt(zExchangeBitmap) == ZKCString("Bitmap"));
}

TEST(Clipboard, TextAndUserDataInProcess) {
    zClipboard clip(nullptr);
    EXPECT_EQ(S_OK, clip.add("first text"));
    EXPECT_EQ(S_OK, clip.add("second text"));
    EXPECT_TRUE(clip.isTextAvail());
    EXPECT_EQ("second text", ReadText(clip));

    zExchangeFmt probe("Quorvane Probe");
    EXPECT_FALSE(clip.isUserDataAvail(probe));
    EXPECT_EQ(S_OK, clip.add(kFive, sizeof kFive, probe));
    EXPECT_TRUE(clip.isUserDataAvail(probe));
    EXPECT_EQ("5 same", ReadProbe(clip));
    EXPECT_EQ("second text", ReadText(clip));  // both items offered together

    EXPECT_EQ(S_OK, clip.clear());
    EXPECT_FALSE(clip.isTextAvail());
    EXPECT_EQ(nullptr, clip.getText());
}

TEST(Clipboard, BitmapAndPictureInProcess) {
    zClipboard clip(nullptr);
    Canvas cv;
    std::unique_ptr<zBitmap> bmp(TwoColourBitmap(cv));
    clip.clear();
    EXPECT_EQ(S_OK, clip.add(bmp.get()));
    EXPECT_TRUE(clip.isBitmapAvail());
    EXPECT_FALSE(clip.isTextAvail());
    EXPECT_EQ(nullptr, clip.getText());  // only a bitmap: no text
    std::unique_ptr<zBitmap> back(clip.getBitmap(&cv.disp));
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(kRed, PixelOf(back->hbitmap(), 0, 0));
    EXPECT_EQ(kBlue, PixelOf(back->hbitmap(), 3, 1));

    zMetafileDisplay md;
    RecordGreen(md);
    EXPECT_FALSE(clip.isMetafileAvail());
    EXPECT_EQ(S_OK, clip.add(&md));
    EXPECT_TRUE(clip.isMetafileAvail());
    zMetafileDisplay player;
    EXPECT_EQ(1, clip.getMetafile(&player));
    ASSERT_NE(nullptr, player.metafile());
    Canvas out(30, 20);
    EXPECT_NE(0, player.copyTo(&out.disp, 0, 0, 20, 10));
    EXPECT_EQ(kGreen, out.at(10, 5));
    EXPECT_EQ(kWhite, out.at(25, 15));
    clip.clear();
}

// The peer that owns the clipboard: offers its items, pumps while the test
// reads them, then lets go (flushing) and ends.
QV_CHILD_CASE(ClipboardOwner) {
    dlgkit::App();
    HANDLE ready = PeerEvent("ready"), done = PeerEvent("done");
    auto* clip = new zClipboard(nullptr);
    clip->add("from the child");
    clip->add(kFive, sizeof kFive, zExchangeFmt("Quorvane Probe"));
    SetEvent(ready);
    dlgkit::PumpUntil(done, 30000);
    delete clip;
}

TEST(Clipboard, ReadsAnotherProcessWhileItPumpsAndAfterItHasGone) {
    HANDLE ready = PeerEvent("ready"), done = PeerEvent("done");
    ResetEvent(ready);
    ResetEvent(done);
    qvtest::ChildRun owner("ClipboardOwner");
    ASSERT_TRUE(owner.started());
    ASSERT_TRUE(dlgkit::PumpUntil(ready, 30000));
    zClipboard clip(nullptr);
    EXPECT_EQ("from the child", ReadText(clip));
    EXPECT_EQ("5 same", ReadProbe(clip));
    SetEvent(done);
    qvtest::ChildResult r = owner.finish(30000);
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_EQ("from the child", ReadText(clip));
    EXPECT_EQ("5 same", ReadProbe(clip));
    CloseHandle(ready);
    CloseHandle(done);
}

// The peer that reads: once while the test owns the clipboard, once after the
// test has let go of it.
QV_CHILD_CASE(ClipboardReader) {
    dlgkit::App();
    HANDLE read = PeerEvent("read"), flushed = PeerEvent("flushed");
    zClipboard clip(nullptr);
    std::printf("alive: %s / %s\n", ReadText(clip).c_str(), ReadProbe(clip).c_str());
    SetEvent(read);
    if (WaitForSingleObject(flushed, 30000) != WAIT_OBJECT_0) std::printf("never flushed\n");
    std::printf("gone: %s / %s\n", ReadText(clip).c_str(), ReadProbe(clip).c_str());
}

TEST(Clipboard, AnotherProcessReadsWhileThisPumpsAndAfterItFlushed) {
    HANDLE read = PeerEvent("read"), flushed = PeerEvent("flushed");
    ResetEvent(read);
    ResetEvent(flushed);
    auto* clip = new zClipboard(nullptr);
    clip->add("from the parent");
    clip->add(kFive, sizeof kFive, zExchangeFmt("Quorvane Probe"));
    qvtest::ChildRun reader("ClipboardReader");
    ASSERT_TRUE(reader.started());
    EXPECT_TRUE(dlgkit::PumpUntil(read, 30000));
    delete clip;
    SetEvent(flushed);
    qvtest::ChildResult r = reader.finish(30000);
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("alive: from the parent / 5 same")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("gone: from the parent / 5 same")) << r.output;
    CloseHandle(read);
    CloseHandle(flushed);
}

// Child cases of the X clipboard check (xclip-check beside this file), which
// passes a folder in QV_XCLIP_DIR for its ready and stop files.
namespace {

std::string XclipFile(const char* name) {
    char dir[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("QV_XCLIP_DIR", dir, sizeof dir);
    return std::string(dir, n < sizeof dir ? n : 0) + "\\" + name;
}

}  // namespace

QV_CHILD_CASE(XclipNothing) {}

QV_CHILD_CASE(XclipOwner) {
    dlgkit::App();
    auto* clip = new zClipboard(nullptr);
    clip->add("Quorvane X text");
    CloseHandle(CreateFileA(XclipFile("ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    for (int i = 0; i < 300 && GetFileAttributesA(XclipFile("stop").c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        dlgkit::PumpUntil(never, 100);
    CloseHandle(never);
    delete clip;
}

QV_CHILD_CASE(XclipReader) {
    dlgkit::App();
    zClipboard clip(nullptr);
    std::unique_ptr<char[]> text(clip.getText());
    if (text)
        std::printf("TEXT[%s] LENGTH %u\n", text.get(), unsigned(std::strlen(text.get())));
    else
        std::printf("no text\n");
}
