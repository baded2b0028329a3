#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "MessageBoxWatcher.h"
#include "zBitmap.h"
#include "zGeometry.h"
#include "zResId.h"

namespace {

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kWhite = RGB(255, 255, 255);

struct Canvas {
    ziInfoDisplay screen;
    zBitmapDisplay disp;
    int w, h;
    explicit Canvas(int width = 40, int height = 30) : disp(&screen, width, height), w(width), h(height)
    {
        PatBlt(disp.hdc(), 0, 0, w, h, WHITENESS);
    }
    COLORREF at(int x, int y) { return GetPixel(disp.hdc(), x, y) & 0xFFFFFF; }
};

// A small image described top-down; written in any of the file forms.
struct Image {
    int w = 3, h = 2, bits = 24;
    std::vector<COLORREF> palette;  // for 1, 4 and 8 bits
    std::vector<int> pixels;         // palette index, or a colour for 24 and 32 bits
    bool core = false;               // OS/2 12-byte header with 3-byte colours
    bool fileHeader = true;
    bool topDown = false;
    DWORD colorsUsed = 0;

    std::vector<COLORREF> expected() const
    {
        std::vector<COLORREF> out;
        for (int p : pixels)
            out.push_back(bits <= 8 ? palette[p] : (COLORREF)p);
        return out;
    }

    std::string bytes() const
    {
        int stride = (bits * w + 31) / 32 * 4;
        std::string data;
        for (int row = 0; row < h; ++row) {
            int y = topDown ? row : h - 1 - row;
            std::string line(stride, '\0');
            for (int x = 0; x < w; ++x) {
                int v = pixels[y * w + x];
                if (bits <= 8) {
                    int bit = x * bits;
                    line[bit / 8] |= (char)(v << (8 - bits - bit % 8));
                } else {
                    int at = x * bits / 8;
                    line[at] = (char)GetBValue(v);
                    line[at + 1] = (char)GetGValue(v);
                    line[at + 2] = (char)GetRValue(v);
                }
            }
            data += line;
        }
        std::string table;
        for (COLORREF c : palette) {
            char e[4] = {(char)GetBValue(c), (char)GetGValue(c), (char)GetRValue(c), 0};
            table.append(e, core ? 3 : 4);
        }
        std::string info;
        if (core) {
            BITMAPCOREHEADER bc = {sizeof bc, (WORD)w, (WORD)h, 1, (WORD)bits};
            info.assign((const char*)&bc, sizeof bc);
        } else {
            BITMAPINFOHEADER bi = {};
            bi.biSize = sizeof bi;
            bi.biWidth = w;
            bi.biHeight = topDown ? -h : h;
            bi.biPlanes = 1;
            bi.biBitCount = (WORD)bits;
            bi.biSizeImage = (DWORD)data.size();
            bi.biClrUsed = colorsUsed;
            info.assign((const char*)&bi, sizeof bi);
        }
        std::string out;
        if (fileHeader) {
            BITMAPFILEHEADER bf = {};
            bf.bfType = 0x4D42;
            bf.bfOffBits = (DWORD)(sizeof bf + info.size() + table.size());
            bf.bfSize = (DWORD)(bf.bfOffBits + data.size());
            out.assign((const char*)&bf, sizeof bf);
        }
        return out + info + table + data;
    }
};

Image rgbImage(int bits = 24)
{
    Image im;
    im.bits = bits;
    im.pixels = {(int)kRed, (int)kGreen, (int)kBlue, (int)kWhite, (int)RGB(10, 20, 30), (int)kRed};
    return im;
}

Image indexedImage(int bits, int colours)
{
    Image im;
    im.bits = bits;
    COLORREF all[] = {kRed, kBlue, kGreen, RGB(1, 2, 3)};
    for (int i = 0; i < colours; ++i)
        im.palette.push_back(i < 4 ? all[i] : RGB(i, i, i));
    im.pixels = {0, 1, 0, 1, 1, 0};
    if (colours > 2)
        im.pixels = {0, 1, 2, 2, 1, 0};
    return im;
}

void writeFile(const std::string& name, const std::string& bytes)
{
    HANDLE f = CreateFileA(name.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, f) << name;
    DWORD n = 0;
    WriteFile(f, bytes.data(), (DWORD)bytes.size(), &n, 0);
    CloseHandle(f);
}

void put32(std::string& s, size_t at, DWORD v) { memcpy(&s[at], &v, 4); }
void put16(std::string& s, size_t at, WORD v) { memcpy(&s[at], &v, 2); }

// Files live in a fresh folder that is the current directory while a test runs.
class BitmapFiles : public ::testing::Test {
protected:
    char saved[MAX_PATH];
    std::string dir;
    void SetUp() override
    {
        GetCurrentDirectoryA(MAX_PATH, saved);
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        dir = std::string(tmp) + "qvbitmaps" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir.c_str(), 0);
        SetCurrentDirectoryA(dir.c_str());
        qvtest::ClearSeenBoxes();
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(saved);
        std::string cmd = dir + "\\*";
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA(cmd.c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::string p = dir + "\\" + fd.cFileName;
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    if (fd.cFileName[0] != '.') {
                        std::string inner = p + "\\img";
                        DeleteFileA(inner.c_str());
                        RemoveDirectoryA(p.c_str());
                    }
                } else {
                    DeleteFileA(p.c_str());
                }
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryA(dir.c_str());
    }

    HGLOBAL openDib(const std::string& name)
    {
        HFILE fh = _lopen(name.c_str(), OF_READ);
        if (fh == HFILE_ERROR)
            return 0;
        HGLOBAL dib = OpenDIB(fh);
        _lclose(fh);
        return dib;
    }
};

}  // namespace

TEST_F(BitmapFiles, LoadsEveryFileForm)
{
    struct Case {
        const char* name;
        Image im;
    } cases[] = {
        {"rgb24", rgbImage(24)},
        {"rgb32", rgbImage(32)},
        {"indexed1", indexedImage(1, 2)},
        {"indexed4 full table", indexedImage(4, 16)},
        {"indexed8 three colours", indexedImage(8, 3)},
        {"os2 1 bit", indexedImage(1, 2)},
        {"os2 24 bit", rgbImage(24)},
        {"headerless", rgbImage(24)},
        {"top down", rgbImage(24)},
    };
    cases[4].im.colorsUsed = 3;
    cases[5].im.core = true;
    cases[6].im.core = true;
    cases[7].im.fileHeader = false;
    cases[8].im.topDown = true;

    for (Case& k : cases) {
        SCOPED_TRACE(k.name);
        writeFile("pic.bmp", k.im.bytes());
        Canvas cv;
        zBitmap bmp(&cv.disp, "pic");  // ".bmp" added
        ASSERT_NE(nullptr, bmp.handle());
        EXPECT_EQ(zDimension(k.im.w, k.im.h), bmp.size());
        EXPECT_EQ(1, cv.disp.bitmap(&bmp, zPoint(2, 3)));
        std::vector<COLORREF> want = k.im.expected();
        for (int y = 0; y < k.im.h; ++y)
            for (int x = 0; x < k.im.w; ++x)
                EXPECT_EQ(want[y * k.im.w + x], cv.at(2 + x, 3 + y)) << x << "," << y;
        EXPECT_EQ(kWhite, cv.at(2 + k.im.w, 3));
    }
    EXPECT_TRUE(qvtest::SeenBoxes().empty());
}

TEST_F(BitmapFiles, HeadersAreNormalisedInMemory)
{
    Image os2 = indexedImage(1, 2);
    os2.core = true;
    writeFile("os2.bmp", os2.bytes());
    HGLOBAL dib = openDib("os2.bmp");
    ASSERT_NE(nullptr, dib);
    BITMAPINFOHEADER* h = (BITMAPINFOHEADER*)GlobalLock(dib);
    EXPECT_EQ(40u, h->biSize);
    EXPECT_EQ(2u, h->biClrUsed);
    EXPECT_EQ(8, PaletteSize(h));
    RGBQUAD* table = (RGBQUAD*)(h + 1);
    EXPECT_EQ(255, table[0].rgbRed);
    EXPECT_EQ(0, table[0].rgbReserved);
    EXPECT_EQ(255, table[1].rgbBlue);
    EXPECT_EQ(0, table[1].rgbRed);
    EXPECT_EQ(8u, h->biSizeImage);  // two rows of 4 bytes, filled in
    GlobalUnlock(dib);
    BITMAPINFOHEADER info;
    EXPECT_EQ(1, DibInfo(dib, &info));
    EXPECT_EQ(2u, info.biClrUsed);
    EXPECT_EQ(0, DibInfo(0, &info));
    GlobalFree(dib);

    writeFile("plain.bmp", rgbImage(24).bytes());
    HFILE fh = _lopen("plain.bmp", OF_READ);
    HGLOBAL head = ReadDibBitmapInfo(fh);
    ASSERT_NE(nullptr, head);
    EXPECT_EQ(54, _llseek(fh, 0, FILE_CURRENT));  // at the pixels
    _lclose(fh);
    h = (BITMAPINFOHEADER*)GlobalLock(head);
    EXPECT_EQ(0, DibNumColors(h));
    EXPECT_EQ(0, PaletteSize(h));
    GlobalUnlock(head);
    GlobalFree(head);
}

TEST_F(BitmapFiles, HostileFilesAreRefused)
{
    Image base = indexedImage(8, 3);
    base.colorsUsed = 3;
    const std::string good = base.bytes();  // 14 + 40 + 12 + 8 bytes
    struct Case {
        const char* name;
        size_t at;
        int width;  // 2 or 4 bytes
        DWORD value;
    } cases[] = {
        {"header size 41", 14, 4, 41},
        {"header size 64", 14, 4, 64},
        {"width 0", 18, 4, 0},
        {"negative width", 18, 4, (DWORD)-5},
        {"width 100000", 18, 4, 100000},
        {"height 0", 22, 4, 0},
        {"height 40000", 22, 4, 40000},
        {"planes 2", 26, 2, 2},
        {"bit count 3", 28, 2, 3},
        {"bit count 0", 28, 2, 0},
        {"bit fields", 30, 4, BI_BITFIELDS},
        {"rle4 on 8 bits", 30, 4, BI_RLE4},
        {"image size past the file", 34, 4, 0xFFFFFFF0},
        {"image size short of the rows", 34, 4, 1},
        {"300 colours", 46, 4, 300},
        {"257 colours", 46, 4, 257},
        {"colour count wrapping the table size", 46, 4, 0x40000001},
        {"pixels offset past the file", 10, 4, 5000},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        std::string bad = good;
        if (k.width == 2)
            put16(bad, k.at, (WORD)k.value);
        else
            put32(bad, k.at, k.value);
        writeFile("bad.bmp", bad);
        EXPECT_EQ(nullptr, openDib("bad.bmp"));
        Canvas cv;
        zBitmap bmp(&cv.disp, "bad.bmp");
        EXPECT_EQ(nullptr, bmp.handle());
    }

    struct Cut {
        const char* name;
        std::string bytes;
    } cuts[] = {
        {"empty", ""},
        {"file header only", good.substr(0, 14)},
        {"inside the header", good.substr(0, 30)},
        {"inside the colour table", good.substr(0, 60)},
        {"last row missing", good.substr(0, good.size() - 4)},
    };
    for (const Cut& c : cuts) {
        SCOPED_TRACE(c.name);
        writeFile("cut.bmp", c.bytes);
        EXPECT_EQ(nullptr, openDib("cut.bmp"));
    }

    Image one = indexedImage(1, 2);
    one.colorsUsed = 3;  // more colours than one bit can index
    writeFile("one.bmp", one.bytes());
    EXPECT_EQ(nullptr, openDib("one.bmp"));

    Image huge = rgbImage(32);
    std::string big = huge.bytes();
    put32(big, 18, 32767);
    put32(big, 22, 32767);
    put32(big, 34, 0);  // computed size: far beyond the file
    writeFile("huge.bmp", big);
    EXPECT_EQ(nullptr, openDib("huge.bmp"));
    EXPECT_TRUE(qvtest::SeenBoxes().empty());
}

TEST_F(BitmapFiles, FileNamesAndMissingFiles)
{
    Canvas cv;
    std::string good = rgbImage(24).bytes();

    // 223 characters and ".bmp" fill the 228-byte buffer exactly.
    std::string longest(223, 'a');
    writeFile(longest + ".bmp", good);
    zBitmap fits(&cv.disp, longest.c_str());
    EXPECT_NE(nullptr, fits.handle());
    EXPECT_TRUE(qvtest::SeenBoxes().empty());

    // One more and the extension would not fit: refused, even though the file exists.
    std::string tooLong(224, 'b');
    writeFile(tooLong + ".bmp", good);
    zBitmap refused(&cv.disp, tooLong.c_str());
    EXPECT_EQ(nullptr, refused.handle());
    std::vector<qvtest::SeenBox> boxes = qvtest::SeenBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Can't open file", boxes[0].text);
    qvtest::ClearSeenBoxes();

    // A dot in a directory part means the name is taken as it is.
    CreateDirectoryA("pics.d", 0);
    writeFile("pics.d\\img", good);
    zBitmap dotted(&cv.disp, "pics.d\\img");
    EXPECT_NE(nullptr, dotted.handle());

    ziInfoDisplay info;
    zBitmap missing(&info, "nosuch");
    EXPECT_EQ(nullptr, missing.handle());
    EXPECT_EQ(0, info.lockCount()) << "the display is unlocked again";
    EXPECT_EQ(zDimension(0, 0), missing.size());
    boxes = qvtest::SeenBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Can't open file", boxes[0].text);
    EXPECT_EQ("nosuch", boxes[0].caption);
}

TEST(Bitmap, LoadsResourcesAndDrawsPlainAndStretched)
{
    Canvas cv;
    zBitmap dot(zResId(101));
    ASSERT_NE(nullptr, dot.handle());
    EXPECT_EQ(zDimension(4, 3), dot.size());
    EXPECT_EQ(1, cv.disp.bitmap(&dot, zPoint(5, 5)));
    const COLORREF rows[3][4] = {{kRed, kGreen, kBlue, kWhite}, {kWhite, kRed, kGreen, kBlue}, {kBlue, kWhite, kRed, kGreen}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(rows[y][x], cv.at(5 + x, 5 + y)) << x << "," << y;

    EXPECT_EQ(1, cv.disp.bitmap(&dot, zPoint(20, 0), zDimension(8, 6)));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(rows[y / 2][x / 2], cv.at(20 + x, y)) << x << "," << y;

    // A scrolled display (window origin moved) places the bitmap in logical terms.
    Canvas scrolled;
    scrolled.disp.setWindowOrg(10, 0);
    scrolled.disp.bitmap(&dot, zPoint(15, 5));
    scrolled.disp.setWindowOrg(0, 0);  // read back in device terms
    EXPECT_EQ(kRed, scrolled.at(5, 5));
    EXPECT_EQ(kWhite, scrolled.at(9, 5));
    EXPECT_EQ(kGreen, scrolled.at(8, 7));

    // A display on the bitmap alone reads it back.
    zBitmapDisplay view(new zBitmap(zResId(101)));
    Canvas copy;
    EXPECT_NE(0, view.copyTo(&copy.disp, 0, 0, 4, 3));
    EXPECT_EQ(kBlue, copy.at(2, 0));
    EXPECT_EQ(kGreen, copy.at(3, 2));

    // A library that cannot be loaded falls back to the program's own bitmaps.
    zBitmap fallback(zResId(101, "nosuchlib.dll"));
    EXPECT_NE(nullptr, fallback.handle());
    zBitmap none(zResId(999));
    EXPECT_EQ(nullptr, none.handle());
    zBitmap stock(StockBmpClose);
    EXPECT_NE(nullptr, stock.handle());

    zDisplay unlocked;
    EXPECT_EQ(0, unlocked.bitmap(&dot, zPoint(0, 0)));
}

TEST(Bitmap, MemoryDisplaySwapsBitmapsAndCopies)
{
    ziInfoDisplay screen;
    zBitmap* first = new zBitmap(6, 4, &screen);
    zBitmapDisplay bd(&screen, first);
    zRect r;
    bd.getVisible(r);
    EXPECT_EQ(zRect(0, 0, 6, 4), r);
    EXPECT_EQ(zDisplay::MemoryBitmap, bd.type());
    EXPECT_EQ(1, bd.lockCount());
    bd.lock();
    bd.unlock();
    EXPECT_NE(nullptr, bd.hdc()) << "the memory context stays";

    PatBlt(bd.hdc(), 0, 0, 6, 4, BLACKNESS);
    bd.pushBrush(new zBrush(zColor(0, 0, 255)));
    PatBlt(bd.hdc(), 1, 1, 2, 2, PATCOPY);
    Canvas cv;
    EXPECT_NE(0, bd.copyTo(&cv.disp, 10, 10, 6, 4));
    EXPECT_EQ(kBlue, cv.at(11, 11));
    EXPECT_EQ(RGB(0, 0, 0), cv.at(10, 10));
    EXPECT_EQ(kWhite, cv.at(16, 10));

    zBitmap* second = new zBitmap(3, 3, &screen);
    EXPECT_EQ(first, bd.setBitmap(second));
    bd.getDirty(r);
    EXPECT_EQ(zRect(0, 0, 3, 3), r);
    EXPECT_EQ(second, bd.setBitmap(nullptr));
    bd.getVisible(r);
    EXPECT_EQ(zRect(), r);
    // first is free again: it converts to a DIB and back unchanged.
    HGLOBAL dib = DibFromBitmap(first->hbitmap(), BI_RGB, 0, 0);
    ASSERT_NE(nullptr, dib);
    BITMAPINFOHEADER info;
    DibInfo(dib, &info);
    EXPECT_EQ(6, info.biWidth);
    EXPECT_EQ(4, info.biHeight);
    cv.disp.lock();
    EXPECT_EQ(4, StretchDibBlt(cv.disp.hdc(), 20, 0, 12, 8, dib, 0, 0, 6, 4, SRCCOPY));
    EXPECT_EQ(kBlue, cv.at(23, 3));   // stretched twice: source (1, 1)
    EXPECT_EQ(RGB(0, 0, 0), cv.at(20, 0));
    EXPECT_NE(0, StretchDibBlt(cv.disp.hdc(), 0, 25, 3, 3, 0, 0, 0, 0, 0, BLACKNESS));
    EXPECT_EQ(RGB(0, 0, 0), cv.at(1, 26));
    cv.disp.unlock();
    GlobalFree(dib);

    HGLOBAL dib8 = DibFromBitmap(first->hbitmap(), BI_RGB, 8, 0);
    ASSERT_NE(nullptr, dib8);
    DibInfo(dib8, &info);
    EXPECT_EQ(8, info.biBitCount);
    EXPECT_EQ(256u, info.biClrUsed);
    GlobalFree(dib8);
    delete first;
    delete second;
}

TEST(Icon, LoadsFromResourcesFilesAndStock)
{
    zIcon res(zResId(201));
    EXPECT_NE(nullptr, res.hicon());
    EXPECT_EQ(1, res.isOwned());
    zIcon copy(res);
    EXPECT_NE(nullptr, copy.hicon());
    EXPECT_EQ(1, copy.isOwned());

    // Unlike bitmaps, icons from a library that cannot be loaded do not fall back.
    zIcon noLib(zResId(201, "nosuchlib.dll"));
    EXPECT_EQ(nullptr, noLib.hicon());

    zIcon stock(StockIconApplication);
    EXPECT_NE(nullptr, stock.hicon());
    EXPECT_EQ(0, stock.isOwned());
    zIcon stockCopy(stock);
    EXPECT_NE(nullptr, stockCopy.hicon());
    EXPECT_EQ(0, stockCopy.isOwned());

    char self[MAX_PATH];
    GetModuleFileNameA(0, self, MAX_PATH);
    zIcon fromFile(self);
    ASSERT_NE(nullptr, fromFile.hicon());
    EXPECT_EQ(1, fromFile.isOwned());
    zIcon fileCopy(fromFile);
    EXPECT_NE(nullptr, fileCopy.hicon());
    EXPECT_NE(fromFile.hicon(), fileCopy.hicon());

    zIcon missing("C:\\nosuch\\file.exe");
    EXPECT_EQ(nullptr, missing.hicon());
    EXPECT_EQ(0, missing.isOwned());
}
